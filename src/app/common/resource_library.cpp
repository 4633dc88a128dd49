// SPDX-License-Identifier: Apache-2.0
#include "app/common/resource_library.h"

CResourceLibrary::~CResourceLibrary() { Free(); }

bool CResourceLibrary::Load(const std::string& path) {
    m_loadError.clear();
    return m_library.Load(path, m_loadError);
}

std::string CResourceLibrary::LoadString(unsigned id) const { return m_library.Text(id); }

void CResourceLibrary::Free() { m_library.Free(); }
