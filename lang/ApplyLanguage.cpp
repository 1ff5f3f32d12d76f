#include "lang/ApplyLanguage.h"

#include "lang/Lang.h"
#include "lang/TPanel.h"
#include "lang/TWidgetProperties.h"
#include "platform/TUserPrompt.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QMetaObject>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

namespace {

// The kinds of control whose font follows the language's character set.
bool takesCharset(const QObject* component)
{
    return qobject_cast<const QCheckBox*>(component) || qobject_cast<const QPushButton*>(component) ||
           qobject_cast<const QLabel*>(component) || qobject_cast<const QListWidget*>(component) ||
           qobject_cast<const TPanel*>(component) || qobject_cast<const QRadioButton*>(component);
}

} // namespace

void ApplyLanguage(QWidget* window)
{
    if (!window)
        return;
    RegisterWidgetProperties();
    TLanguage* language = nullptr;
    const QList<QObject*> components = OwnedComponents(window);
    for (QObject* component : components) {
        auto* candidate = qobject_cast<TLanguage*>(component);
        if (candidate && candidate->objectName() == QLatin1String("lngLanguage")) {
            language = candidate;
            break;
        }
    }
    if (language) {
        language->SetLanguageFile(LanguageFileName(GetLanguageCode()));
        bool ok = false;
        int charset = language->ReadMessage(QStringLiteral("nCharset")).toInt(&ok);
        if (!ok)
            charset = 0;
        window->setProperty(FontCharsetProperty, charset);
        for (QObject* component : components) {
            if (takesCharset(component))
                component->setProperty(FontCharsetProperty, charset);
        }
        try {
            language->Translate();
        } catch (const EConvertError& error) {
            // Qt cannot carry an exception through its event loop: say it here, as the
            // program's error box would.
            TUserPrompt::ShowMessage(window, error.message());
            return;
        }
    }
    if (window->metaObject()->indexOfMethod("LanguageUpdated(QObject*)") >= 0)
        QMetaObject::invokeMethod(window, "LanguageUpdated", Qt::DirectConnection, Q_ARG(QObject*, window));
    for (QObject* child : window->children()) {
        if (auto* control = qobject_cast<QWidget*>(child)) {
            control->update();
            control->repaint();
        }
    }
}
