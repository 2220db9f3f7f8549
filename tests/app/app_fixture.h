#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <memory>

#include "app/main_window.h"
#include "support/scripted_seams.h"

namespace rw::test {

// A main window over scripted seams, with a program folder of its own (empty unless a test puts files in).
class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        seams.programFolder = folder.path();
    }

    Form1& makeForm() {
        form = std::make_unique<Form1>(seams.platform(), seams.run);
        return *form;
    }
    Form1& loadForm() {
        makeForm().Form_Load();
        return *form;
    }

    // Puts the project's own hand cursor beside the program.
    void installHandCursor() {
        const QString source = QStringLiteral(ROOTWEAVE_SOURCE_DIR "/resources/HAND-M.CUR");
        ASSERT_TRUE(QFile::copy(source, folder.filePath("HAND-M.CUR"))) << source.toStdString();
    }

    void writeFile(const QString& relative, const QByteArray& bytes) {
        const QString path = folder.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QTemporaryDir folder;
    ScriptedPlatform seams;
    std::unique_ptr<Form1> form;
};

}  // namespace rw::test
