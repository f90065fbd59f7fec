#pragma once
// Tokenizer for Transact-SQL batches. It never fails silently: a batch that cannot be
// tokenized ends with an Error token carrying the Sybase error to report.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sim::sql {

enum class TokenKind {
    End,       // after the last token
    Word,      // identifier or keyword; lower holds the lower-case spelling
    Delimited, // [bracketed] identifier; text without the brackets
    String,    // 'x' or "x"; text is the value with doubled quotes undone
    Integer,   // 123
    Decimal,   // 12.5, .5, 12.
    Float,     // 1e5, 1.5E-3
    Money,     // $12.34; text without the '$'
    Hex,       // 0x0A0B as written
    Variable,  // @name as written
    Global,    // @@name as written
    Operator,  // + - * / % = <> != < > <= >= !< !> *= =* & | ^ ~ ( ) , . ;
    Invalid,   // a character no token can start with
    Error,     // the tokenizer stopped here; see LexResult::error
};

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;
    std::string lower;     // Word only
    std::size_t begin = 0; // byte offsets into the batch
    std::size_t end = 0;
    int line = 1;

    bool isOp(std::string_view op) const { return kind == TokenKind::Operator && text == op; }
    bool isWord(std::string_view lowerWord) const {
        return kind == TokenKind::Word && lower == lowerWord;
    }
};

struct LexError {
    int number = 0;
    int line = 1;
    std::string message;
};

struct LexResult {
    std::vector<Token> tokens; // always ends with an End or Error token
    bool ok = true;
    LexError error;
};

LexResult tokenize(std::string_view sql);

// Sybase reserved words (lower case): they cannot name objects and make syntax errors
// read "near the keyword".
bool isReservedWord(std::string_view lower);

} // namespace sim::sql
