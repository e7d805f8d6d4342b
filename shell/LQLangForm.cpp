#include "shell/LQLangForm.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QFont>
#include <QMenu>
#include <QScreen>
#include <QWidget>

#include "shell/LQLang.h"

namespace {

int tagOf(const QObject* o) { return o->property(kTagProperty).toInt(); }

// Sets the first of the given text properties that the object has.
void setCaption(QObject* o, const QString& text) {
    if (auto* menu = qobject_cast<QMenu*>(o)) {
        menu->setTitle(text);
        return;
    }
    for (const char* name : {"text", "title", "windowTitle"}) {
        if (o->metaObject()->indexOfProperty(name) >= 0) {
            o->setProperty(name, text);
            return;
        }
    }
}

void translateOwned(QObject* o) {
    const int tag = tagOf(o);
    if (tag > 0) {
        const QString caption = LangString(CaptionId(tag));
        const QString hint = LangString(HintId(tag));
        if (auto* action = qobject_cast<QAction*>(o)) {
            if (!caption.isEmpty()) action->setText(caption);
            if (!hint.isEmpty()) action->setStatusTip(hint);
        } else if (auto* widget = qobject_cast<QWidget*>(o)) {
            // A spin box's text is its value: only its hint is translated.
            if (!caption.isEmpty() && !qobject_cast<QAbstractSpinBox*>(widget)) setCaption(widget, caption);
            if (!hint.isEmpty()) widget->setToolTip(hint);
        }
    }
    for (QObject* child : o->children()) translateOwned(child);
}

}  // namespace

void TranslateForm(QObject* component, int screenWidth) {
    if (!component) return;
    const int tag = tagOf(component);
    if (tag > 0) {
        const QString caption = LangString(CaptionId(tag));
        if (!caption.isEmpty()) setCaption(component, caption);
    }
    for (QObject* child : component->children()) translateOwned(child);

    auto* form = qobject_cast<QWidget*>(component);
    if (!form || !form->isWindow()) return;
    if (screenWidth < 0) screenWidth = form->screen() ? form->screen()->geometry().width() : 800;
    if (screenWidth >= 800) return;
    form->setFont(QFont(QStringLiteral("Arial"), 7));
    form->resize(form->width() * 700 / 800, form->height() * 700 / 800);
}
