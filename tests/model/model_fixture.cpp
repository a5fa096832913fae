#include "tests/model/model_fixture.h"

#include <QFile>

ModelFixture::ModelFixture()
{
    SetMessageDlgHook([this](const QString &text, int kind, MsgButtons buttons) {
        messages.push_back({text, kind, buttons});
        return int(mrOk);
    });
}

ModelFixture::~ModelFixture() { SetMessageDlgHook(nullptr); }

QString ModelFixture::write(const QString &name, const QByteArray &bytes)
{
    const QString path = dir_.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

QString ModelFixture::writeXml(const QString &name, const QString &body)
{
    return write(name, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + body.toUtf8());
}

QStringList Texts(const CTreeNode *first)
{
    QStringList out;
    for (const CTreeNode *n = first; n; n = n->nextSibling())
        out << n->text;
    return out;
}

QStringList TopTexts(const CTree &tree) { return Texts(tree.firstNode()); }
