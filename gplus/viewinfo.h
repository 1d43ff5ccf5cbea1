#pragma once

#include <QByteArray>
#include <QtGlobal>

// One known view: how a fetched view of this name is handled.
struct CViewInfo
{
    QByteArray name;       // lower case, such as a MIME type; the table key
    QByteArray extension;  // file-name extension when the view is saved
    char type = 0;         // the item type the fetched view is handled as
    QByteArray viewer;     // program that shows the view
    qint32 rank = 0;       // 0 unranked; among ranked views the higher wins
    bool operator==(const CViewInfo &) const = default;
};

// One "+VIEWS" line of an item, as offered in the view choice.
struct ViewChoice
{
    QByteArray viewText;      // before the first ":", sent back to the server
    QByteArray type;          // the view text before its first blank
    QByteArray languageTag;   // after the first blank
    QByteArray languageName;  // the tag's name, the tag itself when unknown
    QByteArray sizeText;      // after the ":", leading blanks removed
    int rank = -1;            // the known view's rank, -1 when unknown
};
