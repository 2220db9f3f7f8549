#pragma once

#include <QString>

#include "platform/seams.h"

namespace rw {

// The common dialog object the save drives: the members it sets and reads, and ShowSave, which shows the
// platform's Save As dialog. No default extension, no initial folder, no question about replacing a file.
class CommonDialog {
  public:
    explicit CommonDialog(SaveFileDialog& dialog) : dialog_(dialog) {}

    QString FileName;
    QString DialogTitle;
    QString Filter;  // "Description|pattern|Description|pattern|"
    // The entry of Filter shown first and, after a name was chosen, the one the user picked: 1 for the first.
    int FilterIndex = 1;

    // Shows the modal Save As dialog. The chosen full path becomes FileName and the picked entry
    // FilterIndex; a cancel leaves both as they were.
    void ShowSave();

  private:
    SaveFileDialog& dialog_;
};

// Turns a filter in the "Description|pattern|..." form into Qt's ("Description (pattern);;..."): a
// description that already names its pattern in brackets is used as it stands.
QString qtFilter(const QString& pipeFilter);

}  // namespace rw
