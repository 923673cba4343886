#pragma once

#include <cstdint>
#include <exception>
#include <string>

// The error classes the game's design names. ClassName() is what the fatal box shows, and the
// address is where the error was raised, as an offset into the executable's image.
class Exception : public std::exception {
public:
    explicit Exception(std::string message);
    Exception(const Exception&) = default;
    Exception& operator=(const Exception&) = default;
    ~Exception() override;

    const std::string& Message() const { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }
    virtual const char* ClassName() const { return "Exception"; }

    // Offset of the raising code from the start of the executable's image; 0 when unknown.
    std::uintptr_t ExceptAddr() const { return exceptAddr_; }

private:
    std::string message_;
    std::uintptr_t exceptAddr_ = 0;
};

// Declares a descendant that adds nothing but its class name.
#define ZIM_DECLARE_EXCEPTION(Name, Base)                         \
    class Name : public Base {                                    \
    public:                                                       \
        using Base::Base;                                         \
        const char* ClassName() const override { return #Name; } \
    }

ZIM_DECLARE_EXCEPTION(EConvertError, Exception);
ZIM_DECLARE_EXCEPTION(EInvalidCast, Exception);

// A failed file operation: ErrorCode is the Windows-style code (2, 5, 32, 100, 101...), and the
// message is the runtime's text for it.
class EInOutError : public Exception {
public:
    explicit EInOutError(int errorCode);
    const char* ClassName() const override { return "EInOutError"; }
    int ErrorCode() const { return errorCode_; }

    static std::string MessageFor(int errorCode);

private:
    int errorCode_;
};

// The decimal text of a caption as an integer, as the runtime's StrToInt reads it: leading blanks
// skipped, an optional sign, decimal digits or "$" and hex digits, within the signed 32-bit range.
// Throws EConvertError "'%s' は整数ではありません" otherwise.
std::int32_t StrToInt(const std::string& text);
bool TryStrToInt(const std::string& text, std::int32_t& value);
std::string IntToStr(std::int64_t value);
