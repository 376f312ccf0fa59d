// Test entry: an application object for the window classes to find, with a
// settings file of the test's own.
#include <gtest/gtest.h>

#include "tests/win/WinTestSupport.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    TestApp app;
    app.m_hInstance = ::GetModuleHandleW(nullptr);
    INITCOMMONCONTROLSEX init = {sizeof init, 0xFF};
    ::InitCommonControlsEx(&init);
    AfxSocketInit();
    return RUN_ALL_TESTS();
}
