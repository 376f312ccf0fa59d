// Where the minimised window draws its icon: centred with integer arithmetic
// that truncates toward zero, as the window has always done.
#pragma once

struct IconOrigin {
    int x;
    int y;
};

inline IconOrigin CenteredIconOrigin(int clientWidth, int clientHeight, int iconWidth, int iconHeight)
{
    return {(clientWidth - iconWidth + 1) / 2, (clientHeight - iconHeight + 1) / 2};
}
