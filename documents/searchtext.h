#pragma once

#include "documents/tarnwickdoc.h"

// An index search (type 7): opening it fetches nothing; the user types
// words, and each search opens the server's reply in a new directory window.
// The window stays for further searches.
class CSearchText : public CTarnwickDoc
{
    Q_OBJECT

public:
    // The words start as those of the last search.
    explicit CSearchText(const AppContext &context, QObject *parent = nullptr);

    bool Fetch(const CBookmark &item) override;
    bool OnUpdateFetch() const override { return !m_words.isEmpty(); }
    void OnFetch() override { DoSearch(); }

    void SetWords(const QByteArray &words) { m_words = words; }
    QByteArray GetWords() const { return m_words; }
    // Opens the directory of the server's answer to the words; nothing when
    // there are none. Returns the new document, or none.
    CTarnwickDoc *DoSearch();

    // The item a search with these words opens (type 1, on the same server).
    static CBookmark searchItem(const CBookmark &index, const QByteArray &words);

    // Whether a search keeps its words in the settings for the next window;
    // the headless dump leaves the settings alone.
    void setRemembersWords(bool on) { m_remembersWords = on; }

private:
    QByteArray m_words;
    bool m_remembersWords = true;
};
