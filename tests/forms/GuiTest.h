#pragma once

#include <QObject>

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace kalvex::test {

// The test classes of the one GUI test program, by name; the shared main runs one or all.
using GuiTestFactory = std::function<std::unique_ptr<QObject>()>;
std::map<std::string, GuiTestFactory>& GuiTests();

struct GuiTestRegistration {
    GuiTestRegistration(const char* name, GuiTestFactory factory) {
        GuiTests().emplace(name, std::move(factory));
    }
};

}  // namespace kalvex::test

#define KALVEX_GUI_TEST(Class)                                             \
    static const ::kalvex::test::GuiTestRegistration kRegistration##Class( \
        #Class, [] { return std::make_unique<Class>(); })
