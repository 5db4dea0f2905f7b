// The main() of the window tests: an application object on the offscreen
// platform, and optionally ALSA pointed at the file-plugin configuration
// (capture reads a fixture, playback writes to a file; no sound card).
#pragma once

#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

inline int RunWindowTests(int argc, char** argv, bool withSound) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (withSound) {
        const char* src = getenv("QUILLET_SOURCE_DIR");
        std::string conf = std::string(src ? src : ".") + "/tests/support/audio_alsa.conf";
        setenv("ALSA_CONFIG_PATH", ("/usr/share/alsa/alsa.conf:" + conf).c_str(), 1);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quillet");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
