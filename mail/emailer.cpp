// EMailer: connection handling and the SMTP dialogue.
#include <cstdio>
#include <cstring>
#include <string>

#include "krtools/file.h"
#include "krtools/mailer.h"
#include "mail/mail_socket.h"
#include "platform/platform.h"

namespace {

constexpr int kDefaultPort = 25;
constexpr size_t kReplyBufferSize = 4096;

// Throws the failing call's name with the system error code and text.
[[noreturn]] void ThrowSystemError(const char* call, int code) {
    KRException error(code, call);
    error.FormatSystemErrorMsg();
    throw error;
}

// A failed name look-up carries the resolver's code and text in place of
// the system text.
[[noreturn]] void ThrowResolverError(int code, const std::string& resolverText) {
    KRException error(code, "gethostbyname\n");
    char line[32];
    std::snprintf(line, sizeof line, "Windows rc: 0x%08X\n", static_cast<uint32_t>(code));
    error.text += '\n';
    error.text += line;
    error.text += resolverText;
    error.text += '\n';
    throw error;
}

void RejectLineBreak(const char* value, const char* what) {
    if (std::strpbrk(value, "\r\n") != nullptr) {
        std::string message = std::string("Line break in ") + what;
        throw KRException(-1, "EMailer::SendHeaders", message.c_str());
    }
}

// CR or LF in these values would inject SMTP commands.
void RejectLineBreaks(const char* helo, const char* from, const char* to, const char* subject) {
    RejectLineBreak(helo, "HELO name");
    RejectLineBreak(from, "sender");
    RejectLineBreak(to, "recipient");
    RejectLineBreak(subject, "subject");
}

}  // namespace

EMailer::EMailer() : server("localhost"), service("mail"), sock(krplatform::kInvalidSocket) {}

EMailer::EMailer(const char* serverName, const char* serviceName)
    : server(serverName), service(serviceName), sock(krplatform::kInvalidSocket) {}

EMailer::~EMailer() {
    try {
        Disconnect();
    } catch (const KRException&) {
        // A destructor never throws; the socket is released either way.
    }
}

void EMailer::SetServer(const char* serverName) { server = serverName; }

void EMailer::SetService(const char* serviceName) { service = serviceName; }

void EMailer::SetTimeout(int seconds) { timeoutSeconds_ = seconds > 0 ? seconds : 0; }

void EMailer::Connect(const char* serverName, const char* serviceName) {
    server = serverName;
    service = serviceName;
    Connect();
}

void EMailer::Connect() {
    if (sock != krplatform::kInvalidSocket) {
        throw KRException(-1, "Connect\n", "Socket not disconnected");
    }
    krmail::ConnectFailure failure;
    if (krmail::OpenConnection(server, service, timeoutSeconds_, kDefaultPort, &sock, &failure)) {
        return;
    }
    if (failure.call == std::string("gethostbyname"))
        ThrowResolverError(failure.code, failure.reason);
    ThrowSystemError((std::string(failure.call) + "\n").c_str(), failure.code);
}

void EMailer::Disconnect() {
    if (sock == krplatform::kInvalidSocket) return;
    int rc = krplatform::CloseSocket(sock);
    sock = krplatform::kInvalidSocket;
    if (rc != 0) ThrowSystemError("closesocket\n", rc);
}

void EMailer::SendData(const char* data, int length, bool readReply) {
    char reply[kReplyBufferSize];
    std::memset(reply, 0, sizeof reply);
    size_t count = length > 0 ? static_cast<size_t>(length) : 0;
    if (krplatform::SocketSend(sock, data, count) < 0) {
        ThrowSystemError("send\n", krplatform::LastError());
    }
    if (!readReply) return;
    if (krplatform::SocketReceive(sock, reply, sizeof reply - 1) < 0) {
        ThrowSystemError("recv\n", krplatform::LastError());
    }
    if (static_cast<signed char>(reply[0]) > '3') {
        std::string where = "SendData: ";
        where.append(data, strnlen(data, count));
        where += '\n';
        throw KRException(-1, where.c_str(), reply);
    }
}

void EMailer::SendHeaders(const char* helo, const char* from, const char* to, const char* subject) {
    RejectLineBreaks(helo, from, to, subject);
    const std::string commands[] = {
        std::string("HELO ") + helo + "\r\n",
        std::string("MAIL FROM:<") + from + ">\r\n",
        std::string("RCPT TO:<") + to + ">\r\n",
        "DATA\r\n",
    };
    for (const std::string& command : commands) {
        SendData(command.c_str(), static_cast<int>(command.size()), true);
    }
    std::string subjectLine = std::string("SUBJECT: ") + subject + "\r\n";
    SendData(subjectLine.c_str(), static_cast<int>(subjectLine.size()), false);
}

void EMailer::SendEndOfMessage() {
    SendData("\r\n.\r\n", 5, true);
    SendData("QUIT\r\n", 6, true);
}

void EMailer::SendMessageA(const char* helo, const char* from, const char* to, const char* subject,
                           const char* body) {
    RejectLineBreaks(helo, from, to, subject);
    if (sock == krplatform::kInvalidSocket) Connect();
    SendHeaders(helo, from, to, subject);
    SendData(body, static_cast<int>(std::strlen(body)), false);
    SendEndOfMessage();
}

void EMailer::SendMessageFile(const char* helo, const char* from, const char* to,
                              const char* subject, const char* fileName) {
    constexpr int kPieceSize = 1024;
    RejectLineBreaks(helo, from, to, subject);
    PXMFile file;
    if (sock == krplatform::kInvalidSocket) Connect();
    file.AllocateBuffer(kPieceSize);
    file.Open(fileName, "rb");
    SendHeaders(helo, from, to, subject);
    for (int count = file.Fread(kPieceSize); count != 0; count = file.Fread(kPieceSize)) {
        SendData(file.GetBuffer(), count, false);
    }
    file.Close();
    SendEndOfMessage();
}
