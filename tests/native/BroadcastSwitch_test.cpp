#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/BroadcastSwitch.h"

namespace {

// One send: the value it wants, and whether the socket takes the option if asked.
struct Send {
    bool on;
    bool takes;
};

}  // namespace

TEST(BroadcastSwitch, SetsTheOptionOnlyWhenASendNeedsTheOtherValue)
{
    struct Case {
        const char* name;
        std::vector<Send> sends;
        std::string calls;  // the values passed to the setter, in order
    };
    const Case cases[] = {
        {"the first send sets it, whatever it wants", {{false, true}}, "0"},
        {"repeated unicasts set it once", {{false, true}, {false, true}, {false, true}}, "0"},
        {"broadcast, unicast, broadcast", {{true, true}, {true, true}, {false, true}, {true, true}}, "101"},
        {"a refused change is asked again", {{true, false}, {true, true}, {true, true}}, "11"},
        {"a refusal keeps the value before it", {{true, true}, {false, false}, {true, true}}, "10"},
    };
    for (const Case& c : cases) {
        BroadcastSwitch option;
        std::string calls;
        for (const Send& send : c.sends) {
            option.Use(send.on, [&](bool on) {
                calls += on ? '1' : '0';
                return send.takes;
            });
        }
        EXPECT_EQ(calls, c.calls) << c.name;
    }
}

TEST(BroadcastSwitch, ASocketMadeAnewIsSetAgain)
{
    BroadcastSwitch option;
    int calls = 0;
    const auto set = [&](bool) {
        ++calls;
        return true;
    };
    option.Use(true, set);
    option.Forget();
    option.Use(true, set);
    EXPECT_EQ(calls, 2) << "after Forget the option must be set for the new socket";
}
