// Exposes any QObject to scripts: its Q_INVOKABLE methods, public slots and Q_PROPERTY
// properties, by case-insensitive name. Values cross as QVariant.
#pragma once

#include "script/Variant.h"

#include <QObject>
#include <QPointer>
#include <QVariant>

namespace script {

class QObjectDispatch final : public Dispatch {
public:
    explicit QObjectDispatch(QObject* obj);
    QString typeName() const override;
    int memberId(const QString& name, bool fromInside) override;
    Variant invoke(int id, InvokeKind kind, Args args) override;
    const void* shape() const override;
    QObject* object() const { return obj_; }

private:
    QPointer<QObject> obj_;
    const QMetaObject* meta_;
};

// Conversions between script values and Qt values. Arrays become QVariantList and back;
// QObject pointers are wrapped in a QObjectDispatch.
QVariant toQVariant(const Variant& v);
Variant fromQVariant(const QVariant& v);

} // namespace script
