#pragma once

#include <QString>

#include <exception>
#include <string>

// A failure of the adb tool runner or of a command built on it.
class AdbError : public std::exception {
public:
    enum class Kind { binaryNotFound, commandFailed };

    static AdbError binaryNotFound();
    // `command` is the argument list joined with blanks, without the tool's name.
    static AdbError commandFailed(const QString &command, const QString &output);

    Kind kind() const { return kind_; }
    const QString &command() const { return command_; }
    const QString &output() const { return output_; }

    // The text shown to the user.
    QString description() const;
    const char *what() const noexcept override { return what_.c_str(); }

private:
    AdbError(Kind kind, QString command, QString output);

    Kind kind_;
    QString command_;
    QString output_;
    std::string what_;
};

// The child process could not be launched; carries the platform's own text.
class ProcessLaunchError : public std::exception {
public:
    explicit ProcessLaunchError(QString platformText);

    const QString &description() const { return text_; }
    const char *what() const noexcept override { return what_.c_str(); }

private:
    QString text_;
    std::string what_;
};

// The text to show for a caught failure: the description of the errors above,
// what() of any other exception.
QString describeFailure(const std::exception_ptr &failure);
