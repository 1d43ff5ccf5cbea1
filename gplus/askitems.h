#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class UserInterface;

// One question of a Gopher+ "+ASK" block, and the answer it holds. A line
// of the block reads "Keyword: content"; the keyword says the kind of
// question. Everything here is bytes as the server sent them (or as the user
// typed them, UTF-8): the form window decodes only for display.
class CAskItem
{
public:
    enum Kind { Note, Ask, AskP, AskL, AskF, Select, Choose, ChooseF };

    virtual ~CAskItem();
    virtual Kind kind() const = 0;
    // The keyword that makes this kind, in lower case ("askp", "choosef").
    QByteArray keyword() const;
    // The prompt, the check box's label, or a note's first line.
    const QByteArray &prompt() const { return m_prompt; }
    // What the item contributes to the reply (without the line end).
    virtual QByteArray GetReply() const { return {}; }

    // The keyword of an ask line: the text before its first ":" (the whole
    // line without one), in lower case. Blanks are part of it.
    static QByteArray lineKeyword(QByteArrayView line);
    // The text after the first ":" without its leading spaces.
    static QByteArray lineContent(QByteArrayView line);

protected:
    QByteArray m_prompt;
};

// Consecutive "note" lines: text shown in the form, nothing sent.
class CAINote : public CAskItem
{
public:
    explicit CAINote(const QList<QByteArray> &lines);
    Kind kind() const override { return Note; }
    const QList<QByteArray> &lines() const { return m_lines; }

private:
    QList<QByteArray> m_lines;
};

// "ask": a prompt and a single-line field that starts with the default (the
// text after the prompt's tab, further tabs included).
class CAIAsk : public CAskItem
{
public:
    explicit CAIAsk(QByteArrayView line);
    Kind kind() const override { return Ask; }
    QByteArray GetReply() const override { return m_text; }

    const QByteArray &defaultText() const { return m_default; }
    const QByteArray &text() const { return m_text; }
    void setText(const QByteArray &text) { m_text = text; }

protected:
    QByteArray m_default;
    QByteArray m_text;
};

// "askp": a password field; the default is not put into it.
class CAIAskP : public CAIAsk
{
public:
    explicit CAIAskP(QByteArrayView line);
    Kind kind() const override { return AskP; }
};

// "askl": a multi-line field; the default is not put into it. The reply is
// the number of lines, then the lines, separated by CR LF.
class CAIAskL : public CAIAsk
{
public:
    explicit CAIAskL(QByteArrayView line);
    Kind kind() const override { return AskL; }
    QByteArray GetReply() const override;
};

// "askf": asks for a file name; answered like "ask".
class CAIAskF : public CAIAsk
{
public:
    explicit CAIAskF(QByteArrayView line) : CAIAsk(line) {}
    Kind kind() const override { return AskF; }
};

// "select": one check box, "1" when checked. A label followed by ":" and a
// tab carries the default after them; only "1" starts the box checked.
class CAISelect : public CAskItem
{
public:
    explicit CAISelect(QByteArrayView line);
    Kind kind() const override { return Select; }
    QByteArray GetReply() const override { return m_checked ? "1" : "0"; }

    const QByteArray &defaultText() const { return m_default; }
    bool isChecked() const { return m_checked; }
    void setChecked(bool checked) { m_checked = checked; }

private:
    QByteArray m_default;
    bool m_checked = false;
};

// "choose": one choice out of the tab-separated texts after the prompt; the
// first starts chosen. Empty choices between two tabs are kept.
class CAIChoose : public CAskItem
{
public:
    explicit CAIChoose(QByteArrayView line);
    Kind kind() const override { return Choose; }
    QByteArray GetReply() const override;

    const QList<QByteArray> &choices() const { return m_choices; }
    // The chosen index, -1 for none.
    int selected() const { return m_selected; }
    void setSelected(int index);

private:
    QList<QByteArray> m_choices;
    int m_selected = -1;
};

// "choosef": a file to upload with the answers. The mode follows the file's
// first bytes when it is chosen; the user may change it.
class CAIChooseF : public CAskItem
{
public:
    enum Mode { NoMode, Text, Binary };
    // How many bytes of a file decide between text and binary.
    static constexpr int SniffBytes = 512;

    explicit CAIChooseF(QByteArrayView line);
    Kind kind() const override { return ChooseF; }
    // The path; the file itself is uploaded, not this text.
    QByteArray GetReply() const override;

    // Takes the file the user picked: refused (with the user told, and the
    // path forgotten) when it cannot be read or is empty.
    bool SetFile(const QString &path, UserInterface *ui);
    const QString &path() const { return m_path; }
    Mode mode() const { return m_mode; }
    void setMode(Mode mode) { m_mode = mode; }
    bool isText() const { return m_mode == Text; }

    // Text when every byte is a letter, digit, punctuation, blank or white
    // space of plain ASCII; binary otherwise.
    static Mode modeOf(QByteArrayView head);

private:
    QString m_path;
    Mode m_mode = NoMode;
};
