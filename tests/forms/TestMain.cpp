#include "GuiTest.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QTest>

#include <cstdio>
#include <vector>

namespace kalvex::test {

std::map<std::string, GuiTestFactory>& GuiTests() {
    static std::map<std::string, GuiTestFactory> tests;
    return tests;
}

}  // namespace kalvex::test

// Usage: kalvex_forms_tests [TestClass [Qt Test options...]]
int main(int argc, char* argv[]) {
    // The private home and the XDG folders are in place before Qt looks at any of them.
    const kalvex::test::PrivateHome home;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const auto& tests = kalvex::test::GuiTests();
    std::vector<char*> options = {argv[0]};
    std::string only;
    if (argc > 1 && argv[1][0] != '-') {
        only = argv[1];
        options.insert(options.end(), argv + 2, argv + argc);
        if (tests.find(only) == tests.end()) {
            std::fprintf(stderr, "No test class %s\n", only.c_str());
            return 2;
        }
    } else {
        options.insert(options.end(), argv + 1, argv + argc);
    }
    int failures = 0;
    for (const auto& [name, factory] : tests) {
        if (!only.empty() && name != only) {
            continue;
        }
        const std::unique_ptr<QObject> test = factory();
        failures += QTest::qExec(test.get(), static_cast<int>(options.size()), options.data());
    }
    return failures == 0 ? 0 : 1;
}
