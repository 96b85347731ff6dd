// A named-pipe server for the pipe transport's tests, run inside Wine next to the client:
// it serves one pipe client and relays its bytes both ways to the SimConnect stand-in over
// TCP, so that the stand-in's scripts and faults reach the pipe too. The pipe is in
// message mode: each TCP chunk becomes one pipe message.
//
//   simconnect_pipe_relay_win PIPE_NAME TCP_PORT close|disconnect
//
// When the stand-in closes its end, the server vanishes as the last argument says: by
// closing the pipe handle (the client sees error 109) or by disconnecting the pipe first
// (error 233). Prints "ready" once the pipe exists.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>

namespace {

bool lf_waitOverlapped(HANDLE pipe, OVERLAPPED& overlapped, BOOL started, DWORD& bytes)
{
    if (!started && GetLastError() != ERROR_IO_PENDING && GetLastError() != ERROR_MORE_DATA)
        return false;
    if (GetOverlappedResult(pipe, &overlapped, &bytes, TRUE))
        return true;
    return GetLastError() == ERROR_MORE_DATA;
}

// Pipe to TCP until the client goes; then ends the TCP side.
void lf_pipeToTcp(HANDLE pipe, SOCKET tcp)
{
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    char buffer[65536];
    for (;;) {
        DWORD bytes = 0;
        ResetEvent(overlapped.hEvent);
        const BOOL started = ReadFile(pipe, buffer, sizeof buffer, nullptr, &overlapped);
        if (!lf_waitOverlapped(pipe, overlapped, started, bytes))
            break;
        if (bytes > 0 && send(tcp, buffer, static_cast<int>(bytes), 0) != static_cast<int>(bytes))
            break;
    }
    shutdown(tcp, SD_BOTH);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s PIPE_NAME TCP_PORT close|disconnect\n", argv[0]);
        return 2;
    }
    const std::string name = std::string("\\\\.\\pipe\\") + argv[1];
    const bool disconnect = std::string(argv[3]) == "disconnect";
    HANDLE pipe = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                   PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 65536, 65536, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "CreateNamedPipe failed: %lu\n", GetLastError());
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);

    OVERLAPPED connectOverlapped{};
    connectOverlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD ignored = 0;
    if (!ConnectNamedPipe(pipe, &connectOverlapped) && GetLastError() != ERROR_PIPE_CONNECTED &&
        !(GetLastError() == ERROR_IO_PENDING && GetOverlappedResult(pipe, &connectOverlapped, &ignored, TRUE))) {
        std::fprintf(stderr, "ConnectNamedPipe failed: %lu\n", GetLastError());
        return 1;
    }

    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET tcp = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(std::stoi(argv[2])));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(tcp, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        std::fprintf(stderr, "connect failed: %d\n", WSAGetLastError());
        return 1;
    }
    BOOL on = TRUE;
    setsockopt(tcp, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);

    std::thread upstream(lf_pipeToTcp, pipe, tcp);
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    char buffer[65536];
    for (;;) {
        const int n = recv(tcp, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        DWORD written = 0;
        ResetEvent(overlapped.hEvent);
        const BOOL started = WriteFile(pipe, buffer, static_cast<DWORD>(n), nullptr, &overlapped);
        if (!lf_waitOverlapped(pipe, overlapped, started, written))
            break;
    }
    if (disconnect)
        DisconnectNamedPipe(pipe);
    CancelIoEx(pipe, nullptr);
    CloseHandle(pipe);
    upstream.join();
    closesocket(tcp);
    WSACleanup();
    std::printf("vanished\n");
    return 0;
}
