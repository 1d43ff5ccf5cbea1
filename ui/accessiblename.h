#pragma once

class QLabel;
class QString;
class QWidget;

// Makes label the label of field: its mnemonic moves the keyboard there and
// a screen reader names the field after it. Lists and trees do not take
// their name from a buddy, so they are given the label's words as their
// name (without the mnemonic's "&" and the closing ":").
void labelField(QLabel *label, QWidget *field);

// The words of a label as a name: "&Views offered:" reads "Views offered".
QString nameFromLabel(QString text);
