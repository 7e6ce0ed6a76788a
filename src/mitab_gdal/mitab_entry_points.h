#pragma once
// The entry points of mitab_capi.h as one record, for a program that binds the
// library at run time and resolves them by name (dlsym) instead of linking it: the
// program's MITAB binding, and the adapter's tests, which load it the same way.

#include "mitab_capi.h"

#include <dlfcn.h>
#include <string_view>
#include <type_traits>

struct MitabEntryPoints {
    mitab_c_getlibversion_fn getlibversion = nullptr;
    mitab_c_create_fn create = nullptr;
    mitab_c_set_charset_fn set_charset = nullptr;
    mitab_c_add_field_fn add_field = nullptr;
    mitab_c_create_feature_fn create_feature = nullptr;
    mitab_c_set_field_fn set_field = nullptr;
    mitab_c_set_pen_fn set_pen = nullptr;
    mitab_c_set_brush_fn set_brush = nullptr;
    mitab_c_set_points_fn set_points = nullptr;
    mitab_c_set_symbol_fn set_symbol = nullptr;
    mitab_c_write_feature_fn write_feature = nullptr;
    mitab_c_destroy_feature_fn destroy_feature = nullptr;
    mitab_c_close_fn close = nullptr;

    // Calls Visit(name, member) for every entry point, in the order of mitab_capi.h.
    template <class Visitor> void ForEach(Visitor&& Visit) { VisitAll(*this, Visit); }
    template <class Visitor> void ForEach(Visitor&& Visit) const { VisitAll(*this, Visit); }

    // Resolves every entry point of the dlopen handle Library by its name; the ones
    // the library lacks stay null.
    void ResolveFrom(void* Library) {
        ForEach([Library](const char* Name, auto& Entry) {
            Entry =
                reinterpret_cast<std::remove_reference_t<decltype(Entry)>>(dlsym(Library, Name));
        });
    }

    // Every entry point is resolved.
    bool Complete() const {
        bool all = true;
        ForEach([&all](const char*, auto Entry) { all = all && Entry != nullptr; });
        return all;
    }

    // The entry point of that name; null when it is unresolved or not one of these.
    void* Find(std::string_view Name) const {
        void* found = nullptr;
        ForEach([&](const char* EntryName, auto Entry) {
            if (Name == EntryName)
                found = reinterpret_cast<void*>(Entry);
        });
        return found;
    }

private:
    template <class Self, class Visitor> static void VisitAll(Self& E, Visitor& Visit) {
        Visit("mitab_c_getlibversion", E.getlibversion);
        Visit("mitab_c_create", E.create);
        Visit("mitab_c_set_charset", E.set_charset);
        Visit("mitab_c_add_field", E.add_field);
        Visit("mitab_c_create_feature", E.create_feature);
        Visit("mitab_c_set_field", E.set_field);
        Visit("mitab_c_set_pen", E.set_pen);
        Visit("mitab_c_set_brush", E.set_brush);
        Visit("mitab_c_set_points", E.set_points);
        Visit("mitab_c_set_symbol", E.set_symbol);
        Visit("mitab_c_write_feature", E.write_feature);
        Visit("mitab_c_destroy_feature", E.destroy_feature);
        Visit("mitab_c_close", E.close);
    }
};
