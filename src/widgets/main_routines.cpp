#include "widgets/main_routines.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>
#include <cmath>

#include "platform/program_names.h"

namespace rw::Main {

QColor ButtonFaceColor() {
    return QApplication::palette().color(QPalette::Button);
}

void SetBackground(QWidget& widget, const QColor& color) {
    QPalette pal = widget.palette();
    pal.setColor(QPalette::Window, color);
    widget.setPalette(pal);
    widget.setAutoFillBackground(true);
}

void CenterForm(QWidget& window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QRect whole = screen->geometry();  // the whole screen, not its work area
    const double left = (whole.width() - window.width()) / 2.0;
    const double top = (whole.height() - window.height()) / 2.0;
    window.move(whole.left() + static_cast<int>(std::floor(left)),
                whole.top() + static_cast<int>(std::floor(top)));
}

bool FileExists(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    const QFileInfo info(path);
    return info.exists() && info.lastModified().isValid();
}

void OpenHomePageAtRandom(Clock& clock, RandomSource& random, Browser& browser) {
    random.seed(static_cast<std::uint64_t>(clock.secondsSinceMidnight()));
    const int n = static_cast<int>(std::floor(random.next() * 100.0)) + 1;
    if (n == 7) {
        browser.openUrl(QString::fromLatin1(addresses::kHomePage));
    }
}

void SetFormColors(QWidget& window) {
    const QColor face = ButtonFaceColor();
    SetBackground(window, face);
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child) ||
            qobject_cast<QCheckBox*>(child) || qobject_cast<QRadioButton*>(child)) {
            SetBackground(*child, face);
        }
    }
}

void KillFile(const QString& path) {
    if (!path.isEmpty()) {
        QFile::remove(path);
    }
}

}  // namespace rw::Main
