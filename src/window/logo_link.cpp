#include "logo_link.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QUrl>

LogoLink::LogoLink(QWidget* parent) : QLabel(parent) {}

void LogoLink::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void LogoLink::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click) {
        QDesktopServices::openUrl(QUrl(QString::fromLatin1(kMakerWebSite)));
    }
}
