// The host logging library's exceptions.
#ifndef ZARVOLOG_H
#define ZARVOLOG_H

#include <string>

namespace ZarvoLog {

// A failure with a source name, an operation name, a source line and a message.
class Exception {
public:
    Exception(std::string source, std::string operation, int line, std::string message);
    virtual ~Exception();
    virtual const char *get_What() const;
    int get_LineNum() const;
    const char *get_Source() const;
    const char *get_Operation() const;
    // Records the failure in the host's log. Does nothing in this toolkit.
    virtual void Log() const;

private:
    std::string source_;
    std::string operation_;
    int line_;
    std::string message_;
};

// An exception that is at the same time a ZarvoLog::Exception and a standard
// exception E whose what() is the message.
template <class E>
class CPPException : public Exception, public E {
public:
    CPPException(const std::string &source, const std::string &operation, int line, const std::string &message)
        : Exception(source, operation, line, message), E(message) {}
    const char *get_What() const override { return E::what(); }
};

}  // namespace ZarvoLog

#endif
