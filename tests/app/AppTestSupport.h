#pragma once
// Shared pieces of the desktop program's tests: a registry of test classes (one
// executable, one ctest entry per class), the settings store of the test run, the
// handling of modal dialogs that a handler opens, and small streams on disk.

#include "support/StreamWriter.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

using TestFactory = std::function<std::unique_ptr<QObject>()>;
int RegisterTestClass(const char* name, TestFactory factory);

#define VARNODEL_TEST_CLASS(Class) \
    static const int s_registered##Class = RegisterTestClass(#Class, [] { return std::make_unique<Class>(); })

// Empties the settings store of the test run.
void ClearSettings();
// The file that holds the program's settings in the test run's store.
QString SettingsFilePath();

// Arranges for action to run on the next modal dialog that opens (the handler under test
// is then blocked in it); the action must close it. Polls for at most timeoutMs.
// Returns a flag that turns true once the action has run.
std::shared_ptr<bool> OnNextModal(std::function<void(QWidget*)> action, int timeoutMs = 5000);

// Types path into a file dialog's name field and confirms, as a user would. A dialog
// that refuses the name (or is no file dialog) is cancelled, so a failing test cannot
// hang; returns whether the dialog took the name.
bool ChooseInFileDialog(QWidget* dialog, const QString& path);

// A small program stream: one pack with a system header listing audio stream 0xC0 and
// one audio packet whose first frame header stands `gap` bytes into the payload, where
// none is expected: the analysis marks that line as an error when gap is not 0.
Bytes MakeMisplacedAudioStream(int gap);
// A DVD-like program stream of about `bytes` bytes.
Bytes MakeSmallDvdStream(uint64_t bytes);

class TempDir;
// Streams of muxers of their own, made in dir from ffmpeg's test sources (352x288 or
// 720x576 video at 25 frames a second, a 440 Hz tone as MP2 at 48 kHz): ffmpeg with
// the given codec and format options, and mplex's DVD program stream (-f 8), whose
// decoder buffers mplex models. The path, or an empty string when a tool failed.
std::string MakeFfmpegStream(const TempDir& dir, const std::string& name, const QStringList& options, int seconds = 2);
std::string MakeMplexDvdStream(const TempDir& dir, int seconds = 3);
