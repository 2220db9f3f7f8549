#include "platform/qt_seams.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDate>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTime>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "platform/failure.h"

namespace rw {

QString messageDisplayText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r')) {
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) {
                ++i;
            }
            out.append(QLatin1Char('\n'));
        } else {
            out.append(c);
        }
    }
    return out;
}

namespace {

// Lines of a message box wider than this may wrap: once a box wraps, its text is at least about this wide
// (on screens from 800 pixels across).
constexpr int kWrapWidth = 340;

// Puts each web address of a line that may wrap on a line of its own: wrapping breaks a line after a slash or
// a hyphen, which would cut the address in two. Mail addresses hold no such break and stay where they are.
QString keepAddressesWhole(const QString& text, const QFont& font) {
    static const QRegularExpression address(QStringLiteral(R"((?:https?://|www\.)\S+)"));
    const QFontMetrics metrics(font);
    QStringList lines;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (metrics.horizontalAdvance(line) <= kWrapWidth || !line.contains(address)) {
            lines.append(line);
            continue;
        }
        qsizetype from = 0;
        for (auto it = address.globalMatch(line); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            const QString before = line.mid(from, match.capturedStart() - from).trimmed();
            if (!before.isEmpty()) {
                lines.append(before);
            }
            lines.append(match.captured());
            from = match.capturedEnd();
        }
        const QString after = line.mid(from).trimmed();
        if (!after.isEmpty()) {
            lines.append(after);
        }
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

std::unique_ptr<QMessageBox> buildMessageBox(const QString& text, const QString& title, MsgIcon icon,
                                             MsgButtons buttons, int defaultAnswer, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(title.isEmpty() ? kAppTitle : title);
    box->setTextFormat(Qt::PlainText);
    box->setText(messageDisplayText(text));
    if (const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        box->setText(keepAddressesWhole(box->text(), label->font()));
    }
    box->setIcon(icon == MsgIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon);
    box->setWindowModality(Qt::ApplicationModal);
    if (buttons == MsgButtons::YesNo) {
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(defaultAnswer == kAnswerNo ? QMessageBox::No : QMessageBox::Yes);
        box->setEscapeButton(QMessageBox::No);
    } else {
        box->setStandardButtons(QMessageBox::Ok);
        box->setDefaultButton(QMessageBox::Ok);
        box->setEscapeButton(QMessageBox::Ok);
    }
    return box;
}

int QtMessageBoxes::show(const QString& text, const QString& title, MsgIcon icon, MsgButtons buttons,
                         int defaultAnswer) {
    auto box = buildMessageBox(text, title, icon, buttons, defaultAnswer, QApplication::activeWindow());
    box->exec();
    if (buttons == MsgButtons::Ok) {
        return kAnswerOk;
    }
    // Closing the box any other way than with Yes counts as No.
    return box->clickedButton() == box->button(QMessageBox::Yes) ? kAnswerYes : kAnswerNo;
}

void QtBrowser::openUrl(const QString& address) {
    QDesktopServices::openUrl(QUrl(address));
}

double QtClock::secondsSinceMidnight() {
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

std::uint64_t QtClock::nanoseconds() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(since).count());
}

int QtClock::currentYear() {
    return QDate::currentDate().year();
}

double Mt64Random::next() {
    // The top 53 bits make a double in [0, 1) that never rounds up to 1.
    return static_cast<double>(engine_() >> 11) * (1.0 / 9007199254740992.0);
}

void QtClipboard::setPicture(const QByteArray& svg, const QByteArray& png) {
    auto* data = new QMimeData;
    data->setData(kSvgMime, svg);
    if (!png.isEmpty()) {
        data->setData(kPngMime, png);
    }
    QGuiApplication::clipboard()->setMimeData(data);  // the clipboard takes ownership
}

QByteArray QtClipboard::picture() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr || !data->hasFormat(kSvgMime)) {
        return {};
    }
    return data->data(kSvgMime);
}

QStringList processNamesFrom(const QByteArray& comm, const QByteArray& cmdline) {
    QStringList names;
    const qsizetype end = cmdline.indexOf('\0');
    const QString first = QString::fromLocal8Bit(end < 0 ? cmdline : cmdline.left(end));
    const qsizetype cut = std::max(first.lastIndexOf(QLatin1Char('/')), first.lastIndexOf(QLatin1Char('\\')));
    const QString base = first.mid(cut + 1);
    if (!base.isEmpty()) {
        names.append(base);
    }
    const QString kernelName = QString::fromLocal8Bit(comm).trimmed();
    if (!kernelName.isEmpty() && !names.contains(kernelName)) {
        names.append(kernelName);
    }
    return names;
}

QStringList ProcProcessLookup::runningProcessNames() {
    QStringList names;
    const uid_t me = ::getuid();
    const QDir proc(procRoot_);
    const QStringList entries = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        entry.toLongLong(&numeric);
        if (!numeric) {
            continue;
        }
        const QString dir = proc.filePath(entry);
        struct stat st {};
        if (::stat(QFile::encodeName(dir).constData(), &st) != 0 || st.st_uid != me) {
            continue;  // gone meanwhile, or someone else's
        }
        QFile comm(dir + QStringLiteral("/comm"));
        QFile cmdline(dir + QStringLiteral("/cmdline"));
        QByteArray commText;
        QByteArray cmdlineText;
        if (comm.open(QIODevice::ReadOnly)) {
            commText = comm.readAll();
        }
        if (cmdline.open(QIODevice::ReadOnly)) {
            cmdlineText = cmdline.readAll();
        }
        names.append(processNamesFrom(commText, cmdlineText));
    }
    return names;
}

void configureSaveDialog(QFileDialog& dialog, const QString& title, const QString& filter,
                         const QString& fileName, int filterIndex) {
    dialog.setWindowTitle(title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setDefaultSuffix(QString());
    if (!filter.isEmpty()) {
        const QStringList entries = filter.split(QStringLiteral(";;"), Qt::SkipEmptyParts);
        dialog.setNameFilters(entries);
        if (filterIndex > 0 && filterIndex < entries.size()) {
            dialog.selectNameFilter(entries.at(filterIndex));
        }
    }
    if (!fileName.isEmpty()) {
        dialog.selectFile(fileName);
    }
}

bool QtPrintDialog::choosePrinter(QPrinter& printer) {
    QPrintDialog dialog(&printer, QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted;
}

QString QtOpenFileDialog::showOpen(const QString& title, const QString& filter, const QString& folder) {
    QFileDialog dialog(QApplication::activeWindow(), title, folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

int pickedFilterIndex(const QFileDialog& dialog) {
    return static_cast<int>(
        std::max<qsizetype>(0, dialog.nameFilters().indexOf(dialog.selectedNameFilter())));
}

QString QtSaveFileDialog::showSave(const QString& title, const QString& filter, const QString& fileName,
                                   int& filterIndex) {
    QFileDialog dialog(QApplication::activeWindow());
    configureSaveDialog(dialog, title, filter, fileName, filterIndex);
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) {
        return {};
    }
    filterIndex = pickedFilterIndex(dialog);
    return chosen.first();
}

void QtProgramEnd::endProgram(int status) {
    // Settings are written through on every change, so nothing is pending; flush what was printed.
    std::fflush(nullptr);
    std::exit(status);
}

void QtProgramEnd::quit(int status) {
    QCoreApplication::exit(status);
}

QtPlatform::QtPlatform() : programFolder(QCoreApplication::applicationDirPath()) {}

}  // namespace rw
