#include "app/CaptionsWidget.h"
#include "app/Registry.h"
#include "app/Twips.h"

#include "app/MainCaptions.h"
#include "app/Messages.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QWidget>

namespace velda {
namespace {

void setWidgetCaption(QWidget* w, const QString& text) {
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setText(text);
    else if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(text);
    else if (auto* g = qobject_cast<QGroupBox*>(w))
        g->setTitle(text);
    else if (auto* m = qobject_cast<QMenu*>(w))
        m->setTitle(text);
    else
        w->setWindowTitle(text);
}

void fillList(QWidget* form, const QString& name, const QStringList& items, QStringList& missing) {
    auto* combo = form->findChild<QComboBox*>(name);
    if (!combo) {
        missing << name;
        return;
    }
    combo->clear();
    combo->addItems(items);
    combo->setCurrentIndex(0);
}

} // namespace

QStringList applyCaptions(QWidget* form, const CaptionTable& table) {
    QStringList missing;
    if (!form)
        return missing;
    const bool english = English();
    for (const CaptionRow& row : table.rows()) {
        const QString name = row.objectName();
        const QString& text = row.text(english);
        QWidget* w = form->objectName() == name ? form : form->findChild<QWidget*>(name);
        if (w) {
            setWidgetCaption(w, text);
            continue;
        }
        const auto actions = form->findChildren<QAction*>(name);
        if (actions.isEmpty()) {
            missing << name;
            continue;
        }
        for (QAction* a : actions)
            a->setText(text);
    }
    return missing;
}

void Apply_Font(QWidget* form, const QString& name, double size) {
    if (!form)
        return;
    auto apply = [&](QWidget* w) {
        QFont f = w->font();
        f.setFamily(name);
        if (size > 0)
            f.setPointSizeF(size);
        f.setBold(false);
        w->setFont(f);
    };
    apply(form);
    const auto children = form->findChildren<QWidget*>();
    for (QWidget* w : children)
        apply(w);
}

QStringList Set_MainMenus(QWidget* form) {
    ListFillingGuard filling;
    QStringList missing = applyCaptions(form, MainMenuCaptions());
    if (!form)
        return missing;
    fillList(form, QStringLiteral("Comb_YZoom"), YZoomItems(), missing);
    for (int i = 0; i < 2; ++i)
        fillList(form, controlName(QStringLiteral("Comb_XZoom"), i), XZoomItems(), missing);
    return missing;
}

QStringList Set_MainLabels(QWidget* form) {
    ListFillingGuard filling;
    return applyCaptions(form, MainLabelCaptions());
}

void Restore_FormPosition(QWidget* form, clsRegistry& registry, const QString& name) {
    form->move(twipsToPixels(registry.FormLeft(name), screenDpiX()),
               twipsToPixels(registry.FormTop(name), screenDpiY()));
}

void Save_FormPosition(const QWidget* form, clsRegistry& registry, const QString& name) {
    registry.setFormTop(name, pixelsToTwips(form->y(), screenDpiY()));
    registry.setFormLeft(name, pixelsToTwips(form->x(), screenDpiX()));
}

void Add_HelpShortcut(QWidget* form, QAbstractButton* helpButton) {
    auto* help = new QAction(form);
    help->setShortcut(QKeySequence::HelpContents);
    QObject::connect(help, &QAction::triggered, helpButton, &QAbstractButton::click);
    form->addAction(help);
}

} // namespace velda
