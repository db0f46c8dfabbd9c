#pragma once

#include "platform/machine.h"

namespace pelko::packer {

// The build machine's memory and processors, for reading an installer's payload as the
// installer does.
class HostMachine final : public Machine {
public:
    SharedBytes allocate(std::size_t size) override;
    void run_concurrently(FunctionRef<void()> task, std::uint32_t threads) override;
};

}  // namespace pelko::packer
