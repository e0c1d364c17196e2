#pragma once

// The window's one dark look, for QML (the singleton Theme) and C++ alike:
// the seven colours, the interface fonts and their weights, the symbol glyphs
// and the springs of the animations. The widget palette (tray menu, open
// panel) is made of the same colours.

#include <QColor>
#include <QFont>
#include <QObject>
#include <QPalette>
#include <QString>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

class QGuiApplication;

namespace moss::ui {

class Theme : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QColor background READ background CONSTANT)
    Q_PROPERTY(QColor surface READ surface CONSTANT)
    Q_PROPERTY(QColor surfaceRaised READ surfaceRaised CONSTANT)
    Q_PROPERTY(QColor text READ text CONSTANT)
    Q_PROPERTY(QColor muted READ muted CONSTANT)
    Q_PROPERTY(QColor line READ line CONSTANT)
    Q_PROPERTY(QColor accent READ accent CONSTANT)
    Q_PROPERTY(QString fontFamily READ fontFamily CONSTANT)
    Q_PROPERTY(QString monoFamily READ monoFamily CONSTANT)
    Q_PROPERTY(QString symbolFamily READ symbolFamily CONSTANT)
    // Symbol names used by the views ("gearshape", "lock", ...), mapped to
    // glyphs of the symbol font.
    Q_PROPERTY(QVariantMap symbols READ symbols CONSTANT)

public:
    // Weights of the interface font by name.
    enum Weight {
        Regular = QFont::Normal,
        Medium = QFont::Medium,
        Semibold = QFont::DemiBold,
        Heavy = QFont::ExtraBold,
    };
    Q_ENUM(Weight)

    using QObject::QObject;

    // sRGB; all but `line` opaque. `background` is the window's base,
    // `surface` and `surfaceRaised` the two raised panel tones, `text` and
    // `muted` primary and secondary text, `line` every hairline, `accent` the
    // one signal colour. Text on `accent` is pure white.
    static QColor background() { return {7, 7, 7}; }
    static QColor surface() { return {16, 16, 16}; }
    static QColor surfaceRaised() { return {23, 23, 23}; }
    static QColor text() { return {244, 241, 235}; }
    static QColor muted() { return {157, 153, 145}; }
    static QColor line() { return QColor::fromRgbF(1, 1, 1, 0.12f); }
    static QColor accent() { return {241, 38, 23}; }

    // The interface font; it has every weight from light to heavy.
    static QString fontFamily() { return QStringLiteral("Inter"); }
    static QString monoFamily() { return QStringLiteral("DejaVu Sans Mono"); }
    static QString symbolFamily() { return QStringLiteral("Material Icons"); }
    static QVariantMap symbols();

    // A spring given by its response (seconds) and damping fraction, in the
    // terms of QML's SpringAnimation, which steps every 16 ms with
    // v += spring * (to - x) - damping * v: the damped oscillator
    // x'' = w² (to - x) - 2 ζ w x' (w = 2π / response) integrated over 16 ms.
    Q_INVOKABLE double springStiffness(double response) const;
    Q_INVOKABLE double springDamping(double response, double fraction) const;

    // The palette of the widgets (tray menu, open panel) and of the QML
    // controls that do not set their own colours.
    static QPalette palette();
    // Makes the interface font the application's default font.
    static void applyFonts(QGuiApplication& app);
};

} // namespace moss::ui
