// What the window's benchmarks share: the offscreen platform, whose one harmless warning (it cannot
// pass size hints on) is kept out of the figures' output.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstdio>

// Before the application object: the offscreen platform.
inline void UseOffscreenPlatform() {
  qputenv("QT_QPA_PLATFORM", "offscreen");
}

// After it: every message but the offscreen platform's size-hint warning goes to stderr.
inline void QuietSizeHintWarnings() {
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type != QtWarningMsg || !text.contains("propagateSizeHints"))
      std::fprintf(stderr, "%s\n", qPrintable(text));
  });
}
