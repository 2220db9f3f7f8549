#pragma once

#include <QString>
#include <string>

#include "chart/automation.h"
#include "platform/program_names.h"
#include "platform/seams.h"
#include "spreadsheet/workbook.h"

// Module Excel1: the Excel instances of a generation run and the picture of the finished sheet. The
// routines keep no state between calls.
namespace rw::chart::Excel1 {

inline const QString kSaveCellsReportName =
    QString::fromLatin1(names::kReportPrefix) + QStringLiteral(".Excel1.saveCellsActivesheet");

// The question checkExcelOpen asks, with its exact line breaks.
QString excelOpenQuestion();

// True when an Excel the user already runs answers with its name, exactly "Microsoft Excel". Attaches
// through `lookup` only (never starts one), holds the reference just while asking, and turns every
// failure into false, without a message.
bool isExcelRunning(automation::ActiveObjectLookup& lookup);

// When an Excel runs, asks whether to go on anyway (Yes, the default) or not (No). True means: abandon
// the run. Nothing is shown when no Excel runs.
bool checkExcelOpen(automation::ActiveObjectLookup& lookup, MessageBoxes& boxes);

// Starts a new, separate, invisible Excel and opens the workbook at `path` in it; returns the
// application (the workbook is its last one). No trap: every failure goes to the caller, and then no
// application is returned.
automation::Dispatch openExcelWorkbook(automation::ObjectFactory& factory, const QString& path);

// Writes the picture of the used range of the workbook's active sheet to `path`: through CopyPicture to
// the clipboard, and from the clipboard into the file in the picture's own format (SVG), whatever the
// extension, replacing an existing file. Nothing happens when the used range ends in row 1 or column 1.
// Runs under its own error trap: each failing statement is reported, and the routine goes on. The file is
// the run's preview picture, which the run deletes again: it is written in one step, without waiting for
// the disk.
void saveCellsActivesheet(automation::Dispatch workbook, QString path, MessageBoxes& boxes,
                          Clipboard& clipboard);

// The SaveAs of the engine that a generation run saves its temporary workbook through
// (EngineFactory::setSaveAs): the .xls file written in one step like every file, without waiting for the
// disk, since the workbook is a scratch copy that the preview deletes again (a save the user asks for copies
// it into a file of its own, which is flushed).
void saveScratchWorkbook(const sheet::Workbook& workbook, const std::string& path);

}  // namespace rw::chart::Excel1
