// What the IPsec road reads from strongSwan's tools: the listing of the security
// associations (`swanctl --list-sas`), searched for the child SA of the connection, and
// the process-list answer in which the daemon's process id is looked up.
//
// Input: the profile's policy name up to the first line feed, then the tool's answer.
#include <string>

#include "FuzzTarget.h"
#include "StrongSwanControl.h"
#include "SwanctlConf.h"
#include "TunnelPaths.h"

KORVA_FUZZ_TARGET(strongswan_output) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t newline = input.find('\n');
    const std::string policy = newline == std::string::npos ? std::string() : input.substr(0, newline);
    const std::string answer = newline == std::string::npos ? input : input.substr(newline + 1);

    // The child SA's name as the road forms it from the policy name.
    const std::string connection = SwanctlConnectionName(policy);
    FUZZ_CHECK(policy.empty() ? connection.empty() : IsSwanctlName(connection));
    const std::string child = connection + IPSecPaths::kChildSuffix;

    const int state = getChildSaState(answer, child);
    FUZZ_CHECK(state >= 0 && state <= 3);
    FUZZ_CHECK((state == 2) == (answer.find(child) == std::string::npos));

    const int pid = parseCharonPid(answer);
    FUZZ_CHECK(pid == -1 || pid > 1);
    FUZZ_CHECK(pid == -1 || answer.find(IPSecPaths::kCharonImageName) != std::string::npos);
}
