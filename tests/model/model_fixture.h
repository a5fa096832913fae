#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <utility>
#include <vector>

#include "app/message_dlg.h"
#include "model/config_tree.h"

// Writes XML texts into a temporary folder and records every message the program shows.
class ModelFixture {
public:
    ModelFixture();
    ~ModelFixture();

    QString write(const QString &name, const QByteArray &bytes);
    QString writeXml(const QString &name, const QString &body); // UTF-8 with a declaration

    struct Message {
        QString text;
        int kind;
        MsgButtons buttons;
    };
    std::vector<Message> messages;

private:
    QTemporaryDir dir_;
};

// Node texts of one level, for short comparisons.
QStringList Texts(const CTreeNode *first);
QStringList TopTexts(const CTree &tree);
