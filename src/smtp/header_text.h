/* SPDX-License-Identifier: MIT */
// Message data lines and the text of header fields: the line writer every
// part of a message goes through, RFC 2047 encoded words, RFC 2231
// parameter values, and folding at 78 characters (RFC 5322 section 2.2.3).
#pragma once

namespace vok {

struct Channel;

// Streams one line of message data through CommandLine, in as many sends as
// it takes, so that a line longer than CommandLine goes out whole. With
// stuffDots set a '.' that begins a line (the first one, or one after an LF
// or a lone CR) gets a second '.' (RFC 5321 section 4.5.2).
class LineSender {
  public:
    LineSender(Channel* ch, bool stuffDots) : ch_(ch), stuff_(stuffDots) {}

    // Adds at most maxChars characters of text.
    void Put(const char* text, int maxChars = -1);
    // Ends the line with CR LF and sends what is left. Returns the bytes
    // sent, or the first failed send's result.
    int End();

  private:
    void Flush();

    Channel* ch_;
    bool stuff_;
    bool lineStart_ = true;
    int used_ = 0;
    int result_ = 0;
};

// True when text (n bytes, or up to its NUL when n < 0) holds a byte of 128
// or more.
bool HasHighBytes(const char* text, int n = -1);

// True when the charset names UTF-8, whose characters encoded words must
// not split (RFC 2047 section 5).
bool IsUtf8(const char* charset);

// A header field written piece by piece and folded before a piece that
// would take its line past 78 characters. A piece is never broken; the
// blanks written before it are where a fold may go, so unfolding gives back
// exactly the text that was put.
class HeaderWriter {
  public:
    // Starts the line with name (which holds its own ": ").
    HeaderWriter(Channel* ch, const char* name);

    // Adds blank (the white space before the piece as written, possibly
    // empty) and text. With insertBlank set the field's syntax allows white
    // space before the piece even where none was written (between encoded
    // words, after an address list's delimiter), so the fold may add one.
    void Piece(const char* blank, int blankLen, const char* text, int textLen,
               bool insertBlank = false);

    // Unstructured text (Subject): as written, folded at its blanks, or as
    // encoded words in charset when it holds what a header line cannot carry.
    void Unstructured(const char* text, const char* charset);

    // An address list whose items are separated by delimiter ('\0': a single
    // address): display names that hold bytes of 128 or more become encoded
    // words; everything else goes out as written.
    void AddressList(const char* list, char delimiter, const char* charset);

    // n bytes of text as encoded words in charset, the first one after the
    // blankLen characters of blank (RFC 2047 "phrase" rules, so that they
    // may stand in a display name too).
    // prefix goes right in front of the first word (name=" of a parameter);
    // follow characters are kept free behind a word fitted to a line (for
    // the closing quote after the last one).
    void EncodedWords(const char* blank, int blankLen, const char* text, int n, const char* charset,
                      const char* prefix = "", int follow = 0);

    // The characters left on the current line before it reaches 78.
    int Room() const { return kFoldAt - column_; }

    int End() { return line_.End(); }

  private:
    static constexpr int kFoldAt = 78;

    LineSender line_;
    int column_ = 0;
    bool hasPiece_ = false;
};

// Sends a header field for an attachment's name: "; name=" in the
// Content-Type line (the name in quotes, as encoded words when it holds
// bytes of 128 or more) or "; filename" in the Content-Disposition line
// (RFC 2231 filename*=, continued when long, for such a name). head is the
// field up to its ';'. tail, if any, is sent right after the field. Returns
// what LineSender::End returns.
int SendNameField(Channel* ch, const char* head, const char* param, const char* name,
                  const char* charset, const char* tail);

}  // namespace vok
