// Form elements reached through the page's own script engine.
#include "web/WebElement.h"

#include "platform/HostError.h"
#include "web/clsWWWTalk.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace web {

namespace {

bool isNumber(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Short: case QMetaType::UShort: case QMetaType::Double: case QMetaType::Float:
    case QMetaType::UChar: case QMetaType::Char:
        return true;
    default:
        return false;
    }
}

QString fieldText(const QVariant& field)
{
    return isNumber(field) ? QString::number(field.toLongLong()) : QLatin1Char('\'') + field.toString() + QLatin1Char('\'');
}

} // namespace

WebElement::WebElement(clsWWWTalk* owner, int formIndex, const QVariant& field)
    : owner_(owner), formIndex_(formIndex), field_(field)
{
}

QString WebElement::jsLiteral(const QVariant& v)
{
    QByteArray json = QJsonDocument(QJsonArray{QJsonValue::fromVariant(v)}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

QString WebElement::locate(int formIndex, const QVariant& field, const QString& body)
{
    const QString key = isNumber(field) ? QString::number(field.toLongLong()) : jsLiteral(field.toString());
    return QStringLiteral("(function(){var f=document.forms[%1];if(!f)return {e:'form'};"
                          "var el=f.elements[%2];if(!el)return {e:'element'};%3})()")
        .arg(formIndex)
        .arg(key, body);
}

bool WebElement::raiseIfMissing(const QVariant& answer, int formIndex, const QVariant& field)
{
    const QString e = answer.toMap().value(QStringLiteral("e")).toString();
    if (e == QLatin1String("form")) {
        platform::RaiseHostError(424, QStringLiteral("Object required: no form ") + QString::number(formIndex)
                                          + QStringLiteral(" on the page"));
        return true;
    }
    if (e == QLatin1String("element")) {
        platform::RaiseHostError(424, QStringLiteral("Object required: no element ") + fieldText(field)
                                          + QStringLiteral(" in form ") + QString::number(formIndex));
        return true;
    }
    return false;
}

QVariant WebElement::scriptInvoke(const QString& name, int kind, const QVariantList& args)
{
    if (!owner_) {
        platform::RaiseHostError(424, QStringLiteral("Object required"));
        return QVariant();
    }
    // Member names in scripts ignore case; the page's do not.
    const QString body =
        QStringLiteral(
            "var n=%1;if(n==='')n='value';"
            "if(!(n in el)){var l=n.toLowerCase();for(var k in el){if(k.toLowerCase()===l){n=k;break;}}}"
            "if(!(n in el))return {e:'member'};"
            "var a=%2;"
            "function p(v){if(v===null||v===undefined)return null;var t=typeof v;"
            "if(t==='string'||t==='number'||t==='boolean')return v;return String(v);}"
            "try{"
            "if(%3){el[n]=a[a.length-1];"
            "if(n==='value'||n==='checked'){el.dispatchEvent(new Event('input',{bubbles:true}));"
            "el.dispatchEvent(new Event('change',{bubbles:true}));}return {v:null};}"
            "var v=el[n];if(typeof v==='function')return {v:p(v.apply(el,a))};return {v:p(v)};"
            "}catch(x){return {x:String(x)};}")
            .arg(jsLiteral(name), QString::fromUtf8(QJsonDocument(QJsonArray::fromVariantList(args)).toJson(
                                      QJsonDocument::Compact)),
                 kind == 1 ? QStringLiteral("true") : QStringLiteral("false"));
    QVariant answer;
    if (!owner_->pageCall(locate(formIndex_, field_, body), answer))
        return QVariant();
    if (raiseIfMissing(answer, formIndex_, field_))
        return QVariant();
    const QVariantMap m = answer.toMap();
    if (m.value(QStringLiteral("e")).toString() == QLatin1String("member")) {
        platform::RaiseHostError(438, QStringLiteral("Object doesn't support this property or method: '") + name
                                          + QLatin1Char('\''));
        return QVariant();
    }
    if (m.contains(QStringLiteral("x"))) {
        platform::RaiseHostError(5, QStringLiteral("Invalid procedure call or argument: ")
                                        + m.value(QStringLiteral("x")).toString());
        return QVariant();
    }
    return m.value(QStringLiteral("v"));
}

} // namespace web
