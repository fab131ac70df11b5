// Leaves a chain of steps at its first failing step; always caught by the operation that threw it.
#pragma once

#include <exception>
#include <string>

class CVelkoException : public std::exception {
public:
    CVelkoException() = default;
    explicit CVelkoException(std::string message) : m_strMessage(std::move(message)) {}
    CVelkoException(const CVelkoException&) = default;
    CVelkoException& operator=(const CVelkoException&) = default;
    ~CVelkoException() override = default;

    const char* what() const noexcept override { return m_strMessage.c_str(); }

private:
    std::string m_strMessage;
};
