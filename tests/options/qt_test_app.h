#pragma once

#include <memory>

#include <QApplication>

#include <gtest/gtest.h>

namespace statlume {

/// One QApplication for a test program, created before the first test and destroyed
/// before static destruction (a QApplication outliving Qt's own statics crashes at exit).
/// Several files may register it; only the first to run creates the application.
class TQtTestApp : public ::testing::Environment
{
public:
    void SetUp() override
    {
        if (QApplication::instance() != nullptr)
            return;
        // Never open windows on a developer's display, whatever the runner passes on.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        App = std::make_unique<QApplication>(Argc, Argv);
    }
    void TearDown() override { App.reset(); }

private:
    int Argc = 1;
    char Name[12] = "statlume_ui";
    char* Argv[2] = {Name, nullptr};
    std::unique_ptr<QApplication> App;
};

/// Registers the application environment; gtest owns and deletes it.
inline const ::testing::Environment* const QtTestApp =
    ::testing::AddGlobalTestEnvironment(new TQtTestApp);

} // namespace statlume
