#include "NetworkAdapters.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <fstream>
#include <ifaddrs.h>
#include <mutex>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TunnelPaths.h"

using TunnelPaths::kTunDevice;

namespace {

std::mutex sourceMutex;
std::function<std::vector<NetworkAdapter>()> adapterSource;
std::string tunDevicePath;

std::string ReadAlias(const std::string& name) {
    std::ifstream in("/sys/class/net/" + name + "/ifalias");
    std::string alias;
    std::getline(in, alias);
    return alias;
}

std::string Dotted(const sockaddr* addr) {
    char text[INET_ADDRSTRLEN] = {};
    if (addr == nullptr || addr->sa_family != AF_INET) {
        return "0.0.0.0";
    }
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(addr)->sin_addr, text, sizeof(text));
    return text;
}

std::vector<NetworkAdapter> SystemAdapters() {
    std::vector<NetworkAdapter> adapters;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return adapters;
    }
    // getifaddrs gives one entry per interface and address family; an adapter is
    // listed once, in the order its first entry appears, with its first IPv4 address.
    for (ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_name == nullptr || (entry->ifa_flags & IFF_LOOPBACK) != 0) {
            continue;
        }
        NetworkAdapter* adapter = nullptr;
        for (auto& known : adapters) {
            if (known.name == entry->ifa_name) {
                adapter = &known;
                break;
            }
        }
        if (adapter == nullptr) {
            NetworkAdapter fresh;
            fresh.name = entry->ifa_name;
            fresh.ip = "0.0.0.0";
            fresh.mask = "0.0.0.0";
            adapters.push_back(fresh);
            adapter = &adapters.back();
        }
        if (entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_INET && adapter->ip == "0.0.0.0") {
            adapter->ip = Dotted(entry->ifa_addr);
            adapter->mask = Dotted(entry->ifa_netmask);
        }
    }
    freeifaddrs(list);
    for (auto& adapter : adapters) {
        adapter.description = ReadAlias(adapter.name);
        if (adapter.description.empty()) {
            adapter.description = adapter.name;
        }
    }
    return adapters;
}

} // namespace

std::vector<NetworkAdapter> ListNetworkAdapters() {
    std::function<std::vector<NetworkAdapter>()> source;
    {
        std::lock_guard<std::mutex> lock(sourceMutex);
        source = adapterSource;
    }
    return source ? source() : SystemAdapters();
}

void SetNetworkAdapterSource(std::function<std::vector<NetworkAdapter>()> source) {
    std::lock_guard<std::mutex> lock(sourceMutex);
    adapterSource = std::move(source);
}

bool TapDevicesCanBeMade() {
    std::string path;
    {
        std::lock_guard<std::mutex> lock(sourceMutex);
        path = tunDevicePath.empty() ? std::string(kTunDevice) : tunDevicePath;
    }
    const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    const bool device = fstat(fd, &info) == 0 && S_ISCHR(info.st_mode);
    close(fd);
    return device;
}

void SetTunDevicePath(const std::string& path) {
    std::lock_guard<std::mutex> lock(sourceMutex);
    tunDevicePath = path;
}
