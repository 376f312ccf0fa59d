// Run-time class information: a class's name and its base.
#pragma once

struct CRuntimeClass {
    const char* m_lpszClassName;
    const CRuntimeClass* m_pBaseClass;
};

#define DECLARE_DYNAMIC(theClass)                                      \
public:                                                                \
    static const CRuntimeClass class##theClass;                        \
    virtual const CRuntimeClass* GetRuntimeClass() const;

#define IMPLEMENT_DYNAMIC(theClass, baseClass)                         \
    const CRuntimeClass theClass::class##theClass = {#theClass, &baseClass::class##baseClass}; \
    const CRuntimeClass* theClass::GetRuntimeClass() const { return &theClass::class##theClass; }
