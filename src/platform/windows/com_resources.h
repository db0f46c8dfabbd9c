#pragma once

// COM's resources as UniqueResource traits: interface pointers, BSTRs and the apartment of the
// calling thread.
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include "platform/windows/unique_resource.h"

namespace pelko::win {

template <class Interface>
struct ComPointerTraits {
    using Value = Interface*;
    static Value invalid() { return nullptr; }
    static bool is_valid(Value p) { return p != nullptr; }
    static void close(Value p) { p->Release(); }
};
template <class Interface>
using ComPointer = UniqueResource<ComPointerTraits<Interface>>;

using UniqueBstr = UniqueResource<NullableTraits<BSTR, &SysFreeString>>;

// The result of CoInitializeEx: the apartment is closed again (CoUninitialize) only when the
// initialisation succeeded, S_FALSE (already initialised) included.
struct ComApartmentTraits {
    using Value = HRESULT;
    static Value invalid() { return E_FAIL; }
    static bool is_valid(Value result) { return SUCCEEDED(result); }
    static void close(Value) { CoUninitialize(); }
};
using ComApartment = UniqueResource<ComApartmentTraits>;

}  // namespace pelko::win
