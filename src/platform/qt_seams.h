#pragma once

#include <QByteArray>
#include <QFileDialog>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <memory>
#include <random>

#include "platform/seams.h"
#include "platform/settings_store.h"

// The production side of the seams: Qt widgets, QSettings, QClipboard, /proc and the C++ library.
namespace rw {

// Message text as the box shows it: CR LF, a lone CR and a lone LF each become one line break, so CR CR
// gives an empty line. The text handed to the seam keeps its breaks unchanged.
QString messageDisplayText(const QString& text);

// Builds (without showing) the box that QtMessageBoxes shows, so its set-up can be checked headless. A web
// address in a line long enough to wrap goes on a line of its own, so it is never broken in two.
std::unique_ptr<QMessageBox> buildMessageBox(const QString& text, const QString& title, MsgIcon icon,
                                             MsgButtons buttons, int defaultAnswer, QWidget* parent);

class QtMessageBoxes : public MessageBoxes {
  public:
    int show(const QString& text, const QString& title, MsgIcon icon, MsgButtons buttons,
             int defaultAnswer) override;
};

class QtBrowser : public Browser {
  public:
    // Hands the address to the desktop's default browser; does not wait and ignores the outcome.
    void openUrl(const QString& address) override;
};

class QtClock : public Clock {
  public:
    double secondsSinceMidnight() override;
    std::uint64_t nanoseconds() override;
    int currentYear() override;
};

class Mt64Random : public RandomSource {
  public:
    void seed(std::uint64_t seed) override { engine_.seed(seed); }
    double next() override;

  private:
    std::mt19937_64 engine_{5489u};
};

inline const QString kSvgMime = QStringLiteral("image/svg+xml");
inline const QString kPngMime = QStringLiteral("image/png");

class QtClipboard : public Clipboard {
  public:
    void setPicture(const QByteArray& svg, const QByteArray& png) override;
    QByteArray picture() override;
};

// The names one process goes by: the base name of its first command-line element (a Windows path under a
// compatibility layer counts too) and its kernel name (comm), each once.
QStringList processNamesFrom(const QByteArray& comm, const QByteArray& cmdline);

class ProcProcessLookup : public ProcessLookup {
  public:
    // Scans /proc for processes owned by the current user.
    QStringList runningProcessNames() override;
    explicit ProcProcessLookup(QString procRoot = QStringLiteral("/proc")) : procRoot_(std::move(procRoot)) {}

  private:
    QString procRoot_;
};

// Sets up a Save As dialog: save mode, no question about replacing, no default suffix, the filter's entries
// (separated by ";;"), the entry shown first (counted from 0) and the proposed file name.
void configureSaveDialog(QFileDialog& dialog, const QString& title, const QString& filter,
                         const QString& fileName, int filterIndex = 0);

// The entry of the dialog's filter that is picked, counted from 0 (0 when none is).
int pickedFilterIndex(const QFileDialog& dialog);

class QtSaveFileDialog : public SaveFileDialog {
  public:
    QString showSave(const QString& title, const QString& filter, const QString& fileName,
                     int& filterIndex) override;
};

class QtOpenFileDialog : public OpenFileDialog {
  public:
    QString showOpen(const QString& title, const QString& filter, const QString& folder) override;
};

class QtPrintDialog : public PrintDialog {
  public:
    bool choosePrinter(QPrinter& printer) override;
};

class QtProgramEnd : public ProgramEnd {
  public:
    [[noreturn]] void endProgram(int status) override;
    void quit(int status) override;
};

// Every production seam in one place, with the program folder of the running executable.
struct QtPlatform {
    QtMessageBoxes messages;
    QtBrowser browser;
    QtClock clock;
    Mt64Random random;
    QtSettingsStore settings;
    QtClipboard clipboard;
    ProcProcessLookup processes;
    QtSaveFileDialog saveDialog;
    QtProgramEnd programEnd;
    QtPrintDialog printDialog;
    QtOpenFileDialog openDialog;
    QString programFolder;

    QtPlatform();
    Platform platform() {
        return Platform{messages,  browser,    clock,      random,      settings,   clipboard,
                        processes, saveDialog, programEnd, printDialog, openDialog, programFolder};
    }
};

}  // namespace rw
