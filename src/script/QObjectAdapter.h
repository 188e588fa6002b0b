// Exposes any QObject to scripts: its Q_INVOKABLE methods, public slots and Q_PROPERTY
// properties, by case-insensitive name. Values cross as QVariant.
//
// Two class infos change that for objects whose members are not known in advance (an element
// of a web page):
//   Q_CLASSINFO("ScriptMembers", "dynamic")  every name, the default member included (as ""),
//       goes to the object's invokable
//       QVariant scriptInvoke(const QString& name, int kind, const QVariantList& args)
//       with kind 0 for a read or call, 1 for an assignment (the value is the last argument);
//   Q_CLASSINFO("ScriptOwned", "true")  the object is deleted with its last script reference.
// Either way a member fails the calling statement through platform::RaiseHostError.
#pragma once

#include "script/Variant.h"

#include <QObject>
#include <QPointer>
#include <QVariant>

#include <vector>

namespace script {

class QObjectDispatch final : public Dispatch {
public:
    explicit QObjectDispatch(QObject* obj);
    ~QObjectDispatch() override;
    QString typeName() const override;
    int memberId(const QString& name, bool fromInside) override;
    Variant invoke(int id, InvokeKind kind, Args args) override;
    const void* shape() const override;
    QObject* object() const { return obj_; }

private:
    Variant invokeDynamic(int id, InvokeKind kind, Args args);

    QPointer<QObject> obj_;
    const QMetaObject* meta_;
    bool dynamic_ = false;
    bool owned_ = false;
    std::vector<QString> dynamicNames_;   // id n names dynamicNames_[n - 1]
};

// Conversions between script values and Qt values. Arrays become QVariantList and back;
// QObject pointers are wrapped in a QObjectDispatch.
QVariant toQVariant(const Variant& v);
Variant fromQVariant(const QVariant& v);

} // namespace script
