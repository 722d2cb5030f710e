// Listens on a free port of 127.0.0.1 for the hostile-programs test: writes the port to a file,
// and appends a line to another file for every connection that arrives, until it is ended.
#include <arpa/inet.h>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 3) {
        return 2;
    }
    const int listening = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(listening, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(listening, 16) != 0 ||
        getsockname(listening, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return 1;
    }
    std::ofstream(argv[1]) << ntohs(address.sin_port) << '\n';
    while (true) {
        const int peer = accept(listening, nullptr, nullptr);
        if (peer >= 0) {
            std::ofstream(argv[2], std::ios::app) << "a connection arrived\n";
            close(peer);
        }
    }
}
