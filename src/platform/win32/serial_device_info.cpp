// SPDX-License-Identifier: Apache-2.0
#include "platform/serial_device_info.h"

namespace platform {

// The port map names drivers' devices (\Device\Serial0), not USB descriptors: nothing is known.
SerialDeviceInfo DescribeSerialDevice(const std::string&) { return {}; }

}  // namespace platform
