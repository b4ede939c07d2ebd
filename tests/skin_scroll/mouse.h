#pragma once
// Mouse events delivered straight to a widget, with the held buttons stated explicitly (a move
// while the left button is held is how a drag reaches the control that took the press).
#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

inline void SendMouse(QWidget& Target, QEvent::Type Type, QPoint Pos,
                      Qt::MouseButton Button = Qt::LeftButton)
{
    const Qt::MouseButtons held =
        Type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent event(Type, QPointF(Pos), Target.mapToGlobal(QPointF(Pos)),
                      Type == QEvent::MouseMove ? Qt::NoButton : Button, held, Qt::NoModifier);
    QApplication::sendEvent(&Target, &event);
}
inline void Press(QWidget& Target, QPoint Pos, Qt::MouseButton Button = Qt::LeftButton)
{
    SendMouse(Target, QEvent::MouseButtonPress, Pos, Button);
}
inline void Move(QWidget& Target, QPoint Pos)
{
    SendMouse(Target, QEvent::MouseMove, Pos);
}
inline void Release(QWidget& Target, QPoint Pos)
{
    SendMouse(Target, QEvent::MouseButtonRelease, Pos);
}
