#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>

class QPrinter;

// The small interfaces through which the windows reach everything a test must be able to answer: modal
// message boxes, the browser, the clock and random numbers, the settings store, the clipboard, the process
// list, the Save As dialog and the end of the program. Production wires the Qt implementations; tests wire
// scripted ones (tests/support/scripted_seams.h).
namespace rw {

// Answers of a message box, with the values the routines compare against.
enum MsgAnswer : int { kAnswerOk = 1, kAnswerYes = 6, kAnswerNo = 7 };
enum class MsgIcon { None, Exclamation };
enum class MsgButtons { Ok, YesNo };

// The application's title, shown by a message box that is given no title of its own.
inline const QString kAppTitle = QStringLiteral("Rootweave");

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // Shows a modal box and returns the answer. The text keeps its CR / CR LF line breaks exactly.
    virtual int show(const QString& text, const QString& title, MsgIcon icon, MsgButtons buttons,
                     int defaultAnswer) = 0;
};

class Browser {
  public:
    virtual ~Browser() = default;
    virtual void openUrl(const QString& address) = 0;
};

class Clock {
  public:
    virtual ~Clock() = default;
    // Local time of day in seconds since midnight, with its fraction.
    virtual double secondsSinceMidnight() = 0;
    // A fine-grained, steadily increasing count, for seeding.
    virtual std::uint64_t nanoseconds() = 0;
    // Today's year, local time.
    virtual int currentYear() = 0;
};

class RandomSource {
  public:
    virtual ~RandomSource() = default;
    virtual void seed(std::uint64_t seed) = 0;
    // Uniform in [0, 1).
    virtual double next() = 0;
};

// Per-user string settings. A store that cannot keep its values on disk keeps them in memory for the run and
// says so once, through takeWarning(); reading and writing never fail.
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    virtual QString read(const QString& key, const QString& fallback) = 0;
    virtual void write(const QString& key, const QString& value) = 0;
    // A warning for the user about the store (the file and the reason), handed out once; empty otherwise.
    virtual QString takeWarning() = 0;
};

class Clipboard {
  public:
    virtual ~Clipboard() = default;
    // Replaces the clipboard's content with a vector picture (SVG bytes), and a raster copy when given.
    virtual void setPicture(const QByteArray& svg, const QByteArray& png) = 0;
    // The vector picture the clipboard holds, or an empty array when it holds none.
    virtual QByteArray picture() = 0;
};

class ProcessLookup {
  public:
    virtual ~ProcessLookup() = default;
    // Names (command lines' program names) of the current user's running processes.
    virtual QStringList runningProcessNames() = 0;
};

class SaveFileDialog {
  public:
    virtual ~SaveFileDialog() = default;
    // Shows a modal Save As dialog; returns the chosen full path, or an empty string when cancelled.
    // `filter` is in Qt's form ("Excel Files (*.xls)"). The dialog itself never asks about replacing.
    // `filterIndex` names an entry of the filter, counted from 0: on entry the one shown first, on return
    // (when a path was chosen) the one the user picked.
    virtual QString showSave(const QString& title, const QString& filter, const QString& fileName,
                             int& filterIndex) = 0;
};

class OpenFileDialog {
  public:
    virtual ~OpenFileDialog() = default;
    // Shows a modal Open dialog starting in `folder` (empty: the desktop's choice); returns the chosen full
    // path of an existing file, or an empty string when cancelled. `filter` is in Qt's form.
    virtual QString showOpen(const QString& title, const QString& filter, const QString& folder) = 0;
};

class PrintDialog {
  public:
    virtual ~PrintDialog() = default;
    // Shows the desktop's modal print dialog for `printer` (which the dialog may reconfigure: printer, paper,
    // pages, printing to a file). Returns false when cancelled.
    virtual bool choosePrinter(QPrinter& printer) = 0;
};

class ProgramEnd {
  public:
    virtual ~ProgramEnd() = default;
    // Ends the program with this exit status. The production version does not return.
    virtual void endProgram(int status) = 0;
    // Ends the program through its event loop: the loop returns `status` once the event being handled is
    // done, and the program ends as usual, its application object destroyed (which hands the clipboard's
    // content over to the desktop). Returns at once.
    virtual void quit(int status) = 0;
};

// Everything a window is handed at construction.
struct Platform {
    MessageBoxes& messages;
    Browser& browser;
    Clock& clock;
    RandomSource& random;
    SettingsStore& settings;
    Clipboard& clipboard;
    ProcessLookup& processes;
    SaveFileDialog& saveDialog;
    ProgramEnd& programEnd;
    PrintDialog& printDialog;
    OpenFileDialog& openDialog;
    QString programFolder;  // folder of the executable, no trailing separator
};

}  // namespace rw
