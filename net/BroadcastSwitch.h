// SO_BROADCAST on one socket, set only when a send needs the other value.
#pragma once

// Each send says whether it broadcasts, so no send depends on the one before;
// the option is set only when that changes: under Wine every socket call is a
// trip to the server, and a download sends thousands. The socket call itself
// is the caller's, so this stays free of any system header.
class BroadcastSwitch {
public:
    // Calls set(on) unless `on` is what the last successful call set; set
    // returns whether the option took.
    template <class Setter>
    void Use(bool on, Setter&& set)
    {
        const int value = on ? 1 : 0;
        if (value != m_nSet && set(on))
            m_nSet = value;
    }
    // For a socket closed or made anew: the next Use sets the option.
    void Forget() { m_nSet = -1; }

private:
    int m_nSet = -1;  // the value last set, -1 before any
};
