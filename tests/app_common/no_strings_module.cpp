// SPDX-License-Identifier: Apache-2.0
// A shared module that exports something else than the language lookup: loading it as a
// language library must fail.
extern "C" __attribute__((visibility("default"))) int VexlorSomethingElse() { return 1; }
