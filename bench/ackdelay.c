/* Preloaded into tftpd-hpa by the benchmark: holds every acknowledgement of a
 * data block BENCH_ACK_DELAY_US microseconds before it leaves, as the board
 * simulator's latency= does for a board that writes flash as it goes. The
 * acknowledgement of the write request itself (block 0) goes at once. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <time.h>

static void HoldIfDataAck(const void* buf, size_t len)
{
    const unsigned char* p = buf;
    static long delayUs = -1;
    if (delayUs < 0) {
        const char* text = getenv("BENCH_ACK_DELAY_US");
        delayUs = text ? atol(text) : 0;
    }
    if (delayUs > 0 && len == 4 && p[0] == 0 && p[1] == 4 && (p[2] | p[3]) != 0) {
        struct timespec t = {delayUs / 1000000, delayUs % 1000000 * 1000};
        nanosleep(&t, NULL);
    }
}

ssize_t send(int fd, const void* buf, size_t len, int flags)
{
    static ssize_t (*next)(int, const void*, size_t, int);
    if (!next)
        next = (ssize_t (*)(int, const void*, size_t, int))dlsym(RTLD_NEXT, "send");
    HoldIfDataAck(buf, len);
    return next(fd, buf, len, flags);
}

ssize_t sendto(int fd, const void* buf, size_t len, int flags, const struct sockaddr* to, socklen_t toLen)
{
    static ssize_t (*next)(int, const void*, size_t, int, const struct sockaddr*, socklen_t);
    if (!next)
        next = (ssize_t (*)(int, const void*, size_t, int, const struct sockaddr*, socklen_t))dlsym(RTLD_NEXT, "sendto");
    HoldIfDataAck(buf, len);
    return next(fd, buf, len, flags, to, toLen);
}
