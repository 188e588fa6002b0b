// The QObject adapter: one member table per meta-object, built on first use.
#include "script/QObjectAdapter.h"

#include "platform/HostError.h"

#include "script/Engine.h"
#include "script/ScriptError.h"

#include <QDateTime>
#include <QHash>
#include <QMetaMethod>
#include <QMetaProperty>
#include <cmath>
#include <unordered_map>

namespace script {

namespace {

struct Member {
    int property = -1;
    std::vector<int> methods;  // overloads, by parameter count
};

struct Table {
    std::vector<Member> members;
    QHash<QString, int> index;  // lower-case name -> member id (1-based)
};

const Table& tableFor(const QMetaObject* mo)
{
    // Node-based, so a table stays where it is while others are added during a call.
    static std::unordered_map<const QMetaObject*, Table> tables;
    auto found = tables.find(mo);
    if (found != tables.end())
        return found->second;
    Table* t = &tables[mo];
    auto slotFor = [&](const QString& name) -> Member& {
        QString l = name.toLower();
        int id = t->index.value(l, 0);
        if (!id) {
            t->members.emplace_back();
            id = int(t->members.size());
            t->index.insert(l, id);
        }
        return t->members[size_t(id - 1)];
    };
    for (int i = QObject::staticMetaObject.propertyCount(); i < mo->propertyCount(); ++i)
        slotFor(QString::fromLatin1(mo->property(i).name())).property = i;
    for (int i = QObject::staticMetaObject.methodCount(); i < mo->methodCount(); ++i) {
        QMetaMethod m = mo->method(i);
        if (m.access() != QMetaMethod::Public)
            continue;
        if (m.methodType() != QMetaMethod::Method && m.methodType() != QMetaMethod::Slot)
            continue;
        slotFor(QString::fromLatin1(m.name())).methods.push_back(i);
    }
    return *t;
}

QVariant convertArg(const Variant& v, QMetaType type)
{
    if (type.id() == QMetaType::QVariant)
        return toQVariant(v);
    switch (type.id()) {
    case QMetaType::QString: return toStr(valueOf(v));
    case QMetaType::Int: return toLong(valueOf(v));
    case QMetaType::LongLong: return qlonglong(toDouble(valueOf(v)));
    case QMetaType::Bool: return toBool(valueOf(v));
    case QMetaType::Double: return toDouble(valueOf(v));
    case QMetaType::Float: return float(toDouble(valueOf(v)));
    default: break;
    }
    QVariant q = toQVariant(v);
    if (!q.convert(type))
        raiseError(errTypeMismatch);
    return q;
}

} // namespace

QVariant toQVariant(const Variant& v)
{
    switch (v.type()) {
    case vtEmpty: return QVariant();
    case vtNull: return QVariant::fromValue(nullptr);
    case vtBoolean: return v.boolValue();
    case vtByte: return int(v.byteValue());
    case vtInteger: return int(v.intValue());
    case vtLong: return int(v.longValue());
    case vtSingle: return double(v.singleValue());
    case vtDouble: return v.doubleValue();
    case vtCurrency: return double(v.currencyValue()) / 10000.0;
    case vtDate: {
        double d = v.doubleValue();
        QDateTime base(QDate(1899, 12, 30), QTime(0, 0));
        qint64 days = qint64(std::trunc(d));
        qint64 ms = qint64(std::llround(std::fabs(d - double(days)) * 86400000.0));
        return base.addDays(days).addMSecs(ms);
    }
    case vtString: return v.str();
    case vtObject: {
        auto* q = dynamic_cast<QObjectDispatch*>(v.object());
        if (q) return QVariant::fromValue(q->object());
        return QVariant();
    }
    default:
        if (v.isArray()) {
            QVariantList list;
            for (const Variant& x : v.array()->items)
                list.push_back(toQVariant(x));
            return list;
        }
        return QVariant();
    }
}

Variant fromQVariant(const QVariant& q)
{
    if (!q.isValid())
        return Variant();
    switch (q.typeId()) {
    case QMetaType::Nullptr: return Variant::null();
    case QMetaType::Bool: return Variant::fromBool(q.toBool());
    case QMetaType::Int: case QMetaType::Short: case QMetaType::UShort: case QMetaType::UChar: case QMetaType::Char:
        return Variant::fromWhole(q.toInt());
    case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong: case QMetaType::Long: case QMetaType::ULong:
        return Variant::fromWhole(q.toLongLong());
    case QMetaType::Double: case QMetaType::Float: return Variant::fromDouble(q.toDouble());
    case QMetaType::QString: return Variant::fromString(q.toString());
    case QMetaType::QByteArray: return Variant::fromString(QString::fromLatin1(q.toByteArray()));
    case QMetaType::QDateTime: {
        QDateTime dt = q.toDateTime();
        QDateTime base(QDate(1899, 12, 30), QTime(0, 0));
        double days = double(base.date().daysTo(dt.date()));
        double frac = dt.time().msecsSinceStartOfDay() / 86400000.0;
        return Variant::fromDate(days < 0 ? days - frac : days + frac);
    }
    case QMetaType::QDate: return Variant::fromDate(double(QDate(1899, 12, 30).daysTo(q.toDate())));
    case QMetaType::QStringList: case QMetaType::QVariantList: {
        QVariantList list = q.toList();
        auto* a = new ArrayData({{0, int32_t(list.size())}});
        for (qsizetype i = 0; i < list.size(); ++i)
            a->items[size_t(i)] = fromQVariant(list[i]);
        return Variant::fromArray(a);
    }
    default:
        break;
    }
    if (q.metaType().flags() & QMetaType::PointerToQObject) {
        QObject* o = q.value<QObject*>();
        if (!o) return Variant::fromObject(nullptr);
        return Variant::fromObject(new QObjectDispatch(o));
    }
    if (q.canConvert<QString>())
        return Variant::fromString(q.toString());
    raiseError(458);
}

namespace {
bool classInfoIs(const QMetaObject* mo, const char* name, const char* value)
{
    const int i = mo->indexOfClassInfo(name);
    return i >= 0 && qstrcmp(mo->classInfo(i).value(), value) == 0;
}

// Runs a member and turns an error it recorded into the calling statement's error.
template <class F> void invokeRecordingHostError(F&& call)
{
    int hostNumber = 0;
    QString hostDescription;
    platform::TakeHostError(hostNumber, hostDescription); // nothing stale from an earlier call
    call();
    if (platform::TakeHostError(hostNumber, hostDescription))
        raiseError(hostNumber, hostDescription);
}
} // namespace

QObjectDispatch::QObjectDispatch(QObject* obj) : obj_(obj), meta_(obj->metaObject())
{
    dynamic_ = classInfoIs(meta_, "ScriptMembers", "dynamic");
    owned_ = classInfoIs(meta_, "ScriptOwned", "true");
}

QObjectDispatch::~QObjectDispatch()
{
    if (owned_ && obj_)
        delete obj_.data();
}

Variant QObjectDispatch::invokeDynamic(int id, InvokeKind kind, Args args)
{
    if (kind == InvokeKind::Set)
        raiseError(errNoMember);
    const QString name = id == kDefault ? QString() : dynamicNames_.at(size_t(id - 1));
    QVariantList values;
    for (Variant* a : args)
        if (!a->isMissing())
            values.push_back(toQVariant(*a));
    QVariant ret;
    Ref<QObjectDispatch> keep(this);
    invokeRecordingHostError([&] {
        if (!QMetaObject::invokeMethod(obj_, "scriptInvoke", Qt::DirectConnection, Q_RETURN_ARG(QVariant, ret),
                                       Q_ARG(QString, name), Q_ARG(int, kind == InvokeKind::Let ? 1 : 0),
                                       Q_ARG(QVariantList, values)))
            raiseError(errNoMember);
    });
    return fromQVariant(ret);
}

QString QObjectDispatch::typeName() const
{
    return QString::fromLatin1(meta_->className());
}

const void* QObjectDispatch::shape() const
{
    // Dynamic ids are numbered per object, so call sites must not share them.
    return dynamic_ ? nullptr : meta_;
}

int QObjectDispatch::memberId(const QString& name, bool)
{
    if (dynamic_) {
        for (size_t i = 0; i < dynamicNames_.size(); ++i)
            if (dynamicNames_[i].compare(name, Qt::CaseInsensitive) == 0)
                return int(i + 1);
        dynamicNames_.push_back(name);
        return int(dynamicNames_.size());
    }
    int id = tableFor(meta_).index.value(name.toLower(), 0);
    return id > 0 ? id : -1;
}

Variant QObjectDispatch::invoke(int id, InvokeKind kind, Args args)
{
    if (!obj_)
        raiseError(errObjectRequired);
    if (dynamic_)
        return invokeDynamic(id, kind, args);
    const Table& t = tableFor(meta_);
    if (id < 1 || id > int(t.members.size()))
        raiseError(errNoMember);
    const Member& m = t.members[size_t(id - 1)];
    if (m.property >= 0 && (kind != InvokeKind::Get || args.empty() || m.methods.empty())) {
        QMetaProperty p = meta_->property(m.property);
        if (kind == InvokeKind::Get) {
            Variant v = fromQVariant(p.read(obj_));
            return args.empty() ? v : applyArgs(v, args);
        }
        if (args.size() != 1 || !p.isWritable())
            raiseError(errWrongArgs);
        if (!p.write(obj_, convertArg(*args[0], p.metaType())))
            raiseError(errTypeMismatch);
        return Variant();
    }
    if (m.methods.empty() || kind != InvokeKind::Get)
        raiseError(errNoMember);
    // Trailing missing arguments let a default argument of the C++ method apply.
    size_t n = args.size();
    while (n > 0 && args[n - 1]->isMissing())
        --n;
    QMetaMethod method;
    for (int idx : m.methods) {
        QMetaMethod cand = meta_->method(idx);
        if (size_t(cand.parameterCount()) == n) { method = cand; break; }
    }
    if (!method.isValid() || n > 10)
        raiseError(errWrongArgs);
    QVariant values[10];
    QGenericArgument gargs[10];
    for (size_t i = 0; i < n; ++i) {
        QMetaType type = method.parameterMetaType(int(i));
        values[i] = convertArg(*args[i], type);
        gargs[i] = type.id() == QMetaType::QVariant ? QGenericArgument("QVariant", &values[i])
                                                    : QGenericArgument(type.name(), values[i].constData());
    }
    QMetaType rt = method.returnMetaType();
    QVariant ret;
    QGenericReturnArgument gret;
    if (rt.id() == QMetaType::QVariant) {
        gret = QGenericReturnArgument("QVariant", &ret);
    } else if (rt.id() != QMetaType::Void && rt.isValid()) {
        ret = QVariant(rt);
        gret = QGenericReturnArgument(rt.name(), ret.data());
    }
    Ref<QObjectDispatch> keep(this);
    invokeRecordingHostError([&] {
        if (!method.invoke(obj_, Qt::DirectConnection, gret, gargs[0], gargs[1], gargs[2], gargs[3], gargs[4],
                           gargs[5], gargs[6], gargs[7], gargs[8], gargs[9]))
            raiseError(errNoMember);
    });
    return fromQVariant(ret);
}

} // namespace script
