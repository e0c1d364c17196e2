#include "Theme.h"

#include <QFont>
#include <QGuiApplication>
#include <numbers>

namespace moss::ui {

QVariantMap Theme::symbols() {
    return {{QStringLiteral("gearshape"), QStringLiteral("\ue8b8")},
            {QStringLiteral("magnifyingglass"), QStringLiteral("\ue8b6")},
            {QStringLiteral("lock"), QStringLiteral("\ue899")},
            {QStringLiteral("xmark"), QStringLiteral("\ue5cd")},
            {QStringLiteral("exclamationmark.circle"), QStringLiteral("\ue001")},
            {QStringLiteral("arrow.right.circle"), QStringLiteral("\ueaaa")},
            {QStringLiteral("checkmark.circle"), QStringLiteral("\ue92d")},
            {QStringLiteral("checkmark"), QStringLiteral("\ue5ca")},
            {QStringLiteral("minus"), QStringLiteral("\ue15b")},
            {QStringLiteral("minus.circle"), QStringLiteral("\ue15d")},
            {QStringLiteral("arrow.up.left.and.arrow.down.right"), QStringLiteral("\ue5d0")},
            {QStringLiteral("arrow.down.right.and.arrow.up.left"), QStringLiteral("\ue5d1")}};
}

namespace {

constexpr double kStep = 0.016; // seconds per SpringAnimation step

double angularFrequency(double response) {
    return 2 * std::numbers::pi / response;
}

} // namespace

double Theme::springStiffness(double response) const {
    const double w = angularFrequency(response);
    return kStep * w * w;
}

double Theme::springDamping(double response, double fraction) const {
    return kStep * 2 * fraction * angularFrequency(response);
}

QPalette Theme::palette() {
    QPalette palette;
    palette.setColor(QPalette::Window, surface());
    palette.setColor(QPalette::WindowText, text());
    palette.setColor(QPalette::Base, background());
    palette.setColor(QPalette::AlternateBase, surfaceRaised());
    palette.setColor(QPalette::Text, text());
    palette.setColor(QPalette::PlaceholderText, muted());
    palette.setColor(QPalette::Button, surfaceRaised());
    palette.setColor(QPalette::ButtonText, text());
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, surfaceRaised());
    palette.setColor(QPalette::ToolTipText, text());
    palette.setColor(QPalette::Highlight, accent());
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, accent());
    // The bevel shades of the widget style, from light to dark.
    palette.setColor(QPalette::Light, QColor(60, 60, 60));
    palette.setColor(QPalette::Midlight, QColor(40, 40, 40));
    palette.setColor(QPalette::Mid, QColor(30, 30, 30));
    palette.setColor(QPalette::Dark, QColor(5, 5, 5));
    palette.setColor(QPalette::Shadow, Qt::black);
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, muted());
    return palette;
}

void Theme::applyFonts(QGuiApplication& app) {
    QFont font(fontFamily());
    font.setPixelSize(13);
    font.setHintingPreference(QFont::PreferNoHinting);
    app.setFont(font);
}

} // namespace moss::ui
