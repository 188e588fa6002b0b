// A growable text buffer that collects a received message without repeated concatenation.
#pragma once

#include <QString>

class StringBuilder {
public:
    StringBuilder();

    // Appends the text; the buffer grows by 10000 characters, or by three times the piece
    // for pieces of 3335 characters or more, so one growth step always suffices.
    void Append(const QString& value);
    // The text appended so far.
    QString toString() const { return buffer_.left(used_); }

    int capacity() const { return capacity_; }
    int length() const { return used_; }

private:
    static constexpr int Step = 10000;
    static constexpr int LargePiece = 3335; // first length for which 3 x length exceeds Step

    QString buffer_;
    int used_ = 0;
    int capacity_ = Step;
};
