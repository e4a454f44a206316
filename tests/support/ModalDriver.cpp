#include "tests/support/ModalDriver.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>

ModalDriver::ModalDriver(std::function<void(QWidget*)> act, int guardMs) : act_(std::move(act)) {
    QObject::connect(&poll_, &QTimer::timeout, [this] { Poll(); });
    poll_.start(5);
    guard_.setSingleShot(true);
    QObject::connect(&guard_, &QTimer::timeout, [this] { Guard(); });
    guard_.start(guardMs);
}

ModalDriver::~ModalDriver() {
    poll_.stop();
    guard_.stop();
}

void ModalDriver::Poll() {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog) return;
    poll_.stop();
    acted_ = true;
    act_(dialog);
}

void ModalDriver::Guard() {
    poll_.stop();
    bool any = false;
    while (QWidget* open = QApplication::activeModalWidget()) {
        any = true;
        if (auto* dialog = qobject_cast<QDialog*>(open))
            dialog->reject();
        else
            open->close();
        if (QApplication::activeModalWidget() == open) break;  // would not close: give up
    }
    if (any || !acted_) ADD_FAILURE() << "a modal dialog was left open (or never shown)";
}
