#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <map>
#include <stdexcept>
#include <utility>
#include <vector>

#include "app/template_run.h"
#include "platform/failure.h"
#include "platform/seams.h"

// Scripted stand-ins for the platform seams: they record what the program asked and answer as told.
namespace rw::test {

struct ShownBox {
    QString text;
    QString title;
    MsgIcon icon;
    MsgButtons buttons;
    int defaultAnswer;
};

class ScriptedMessageBoxes : public MessageBoxes {
  public:
    int show(const QString& text, const QString& title, MsgIcon icon, MsgButtons buttons,
             int defaultAnswer) override {
        shown.push_back({text, title, icon, buttons, defaultAnswer});
        if (onShow) {
            onShow(shown.back());
        }
        if (!answers.empty()) {
            int a = answers.front();
            answers.pop_front();
            return a;
        }
        return buttons == MsgButtons::Ok ? kAnswerOk : defaultAnswer;
    }
    std::vector<ShownBox> shown;
    std::deque<int> answers;  // answers to give, in order; afterwards OK or the default button
    std::function<void(const ShownBox&)> onShow;
};

class ScriptedBrowser : public Browser {
  public:
    void openUrl(const QString& address) override { opened.push_back(address); }
    QStringList opened;
};

class ScriptedClock : public Clock {
  public:
    double secondsSinceMidnight() override { return seconds; }
    std::uint64_t nanoseconds() override { return nanos += nanoStep; }
    int currentYear() override { return year; }
    double seconds = 43200.0;
    int year = 2026;
    std::uint64_t nanos = 1'000'000'000;
    std::uint64_t nanoStep = 1'234'567;
};

// Draws come from `draws` in order while there are any, then from a simple generator of the seed.
class ScriptedRandom : public RandomSource {
  public:
    void seed(std::uint64_t s) override {
        seeds.push_back(s);
        state_ = s * 6364136223846793005ULL + 1442695040888963407ULL;
    }
    double next() override {
        if (!draws.empty()) {
            double d = draws.front();
            draws.pop_front();
            return d;
        }
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(state_ >> 11) / 9007199254740992.0;
    }
    std::deque<double> draws;
    std::vector<std::uint64_t> seeds;

  private:
    std::uint64_t state_ = 88172645463325252ULL;
};

class MemorySettings : public SettingsStore {
  public:
    QString read(const QString& key, const QString& fallback) override {
        auto it = values.find(key);
        return it == values.end() ? fallback : it->second;
    }
    void write(const QString& key, const QString& value) override {
        if (failWrites) {
            if (warning.isEmpty() && !warned) {
                warning = QStringLiteral("Settings store refused the write");
            }
            return;
        }
        values[key] = value;
        ++writes;
    }
    QString takeWarning() override {
        warned = warned || !warning.isEmpty();
        return std::exchange(warning, QString());
    }
    std::map<QString, QString> values;
    int writes = 0;
    bool failWrites = false;  // writes are dropped, with one warning
    QString warning;          // the next warning handed out
    bool warned = false;
};

class MemoryClipboard : public Clipboard {
  public:
    void setPicture(const QByteArray& svgBytes, const QByteArray& pngBytes) override {
        svg = svgBytes;
        png = pngBytes;
    }
    QByteArray picture() override { return svg; }
    QByteArray svg;
    QByteArray png;
};

class ScriptedProcesses : public ProcessLookup {
  public:
    QStringList runningProcessNames() override { return names; }
    QStringList names;
};

// Answers each Open dialog with the next of `answers` (empty: cancelled), recording what was asked.
class ScriptedOpenDialog : public OpenFileDialog {
  public:
    struct Asked {
        QString title, filter, folder;
    };
    QString showOpen(const QString& title, const QString& filter, const QString& folder) override {
        asked.push_back({title, filter, folder});
        if (answers.empty()) {
            return {};
        }
        QString a = answers.front();
        answers.pop_front();
        return a;
    }
    std::vector<Asked> asked;
    std::deque<QString> answers;
};

class ScriptedSaveDialog : public SaveFileDialog {
  public:
    QString showSave(const QString& title, const QString& filter, const QString& fileName,
                     int& filterIndex) override {
        asked.push_back({title, filter, fileName});
        if (onShow) {
            onShow();
        }
        if (answers.empty()) {
            return {};
        }
        QString a = answers.front();
        answers.pop_front();
        if (!pickedEntries.empty()) {
            filterIndex = pickedEntries.front();
            pickedEntries.pop_front();
        }
        return a;
    }
    struct Asked {
        QString title, filter, fileName;
    };
    std::vector<Asked> asked;
    std::deque<QString> answers;    // chosen paths in order; empty string = cancel
    std::deque<int> pickedEntries;  // the filter entry picked with each path (from 0); else the one shown
    std::function<void()> onShow;
};

// Answers as told, after letting the test set the printer up (for instance to print into a PDF file).
class ScriptedPrintDialog : public PrintDialog {
  public:
    bool choosePrinter(QPrinter& printer) override {
        ++shown;
        if (onShow) {
            onShow(printer);
        }
        return accept;
    }
    int shown = 0;
    bool accept = false;
    std::function<void(QPrinter&)> onShow;
};

class RecordingProgramEnd : public ProgramEnd {
  public:
    void endProgram(int status) override { statuses.push_back(status); }
    void quit(int status) override { quits.push_back(status); }
    std::vector<int> statuses;  // ended at once
    std::vector<int> quits;     // ended through the event loop
};

// The run behind "Start Creating Template" for tests of the window alone: it counts the clicks it was handed.
class ScriptedTemplateRun : public TemplateRun {
  public:
    void start(Form1&) override { ++clicks; }
    int clicks = 0;
};

// All seams in one place, with a Platform view over them.
struct ScriptedPlatform {
    ScriptedMessageBoxes messages;
    ScriptedBrowser browser;
    ScriptedClock clock;
    ScriptedRandom random;
    MemorySettings settings;
    MemoryClipboard clipboard;
    ScriptedProcesses processes;
    ScriptedSaveDialog saveDialog;
    ScriptedOpenDialog openDialog;
    RecordingProgramEnd programEnd;
    ScriptedPrintDialog printDialog;
    QString programFolder;
    ScriptedTemplateRun run;

    Platform platform() {
        return Platform{messages,  browser,    clock,      random,      settings,   clipboard,
                        processes, saveDialog, programEnd, printDialog, openDialog, programFolder};
    }
};

}  // namespace rw::test
