// Failures while constructing the reception object; the creating exports turn them into status codes.
#pragma once

#include <stdexcept>
#include <string>

#define YOXA_DEFINE_EXCEPTION(NAME, TEXT)                                    \
    class NAME : public std::exception {                                     \
    public:                                                                  \
        explicit NAME(std::string message) : message_(std::move(message)) {} \
        const char* what() const noexcept override { return TEXT; }          \
        const std::string& message() const { return message_; }              \
                                                                             \
    private:                                                                 \
        std::string message_;                                                \
    };

YOXA_DEFINE_EXCEPTION(filenotfound, "File not found exception")
YOXA_DEFINE_EXCEPTION(kalimastro_yoxa_error, "Kalimastro YOXA API error")
YOXA_DEFINE_EXCEPTION(invalid_version, "Invalid version exception")

#undef YOXA_DEFINE_EXCEPTION
