// A fake Outlook for the tests: the automation objects that quorvantel calls
// (Application, Inspector, MailItem, and a ContactItem that is no mail item),
// served from an in-process DLL or a local server EXE.
//
// Beside the module lie:
//   fake_outlook.tlb  the type library (Outlook's interface identifiers)
//   fake_outlook.ctl  what to do, read when an Application is made (UTF-8,
//                     fields separated by tabs; no file: everything works):
//     fail MEMBER STATUS                    the call returns STATUS (hex)
//     fail MEMBER STATUS errorinfo D S H C  ... after SetErrorInfo(D, S, H, C)
//     fail MEMBER 80020009 excep CODE D S H C
//                                           DISP_E_EXCEPTION, EXCEPINFO filled
//     hold MEMBER MILLISECONDS              the call takes that long
//     open mail TO CC BCC | open contact | open empty
//                                           an item window open from the start
//   MEMBER: _Application (its interface query), ActiveInspector, CreateItem,
//   CurrentItem, To.get, To.put, CC.get, CC.put, BCC.get, BCC.put, Display.
//   fake_outlook.log  one line per call: ROLE TAB OBJECT TAB MEMBER TAB ARGS,
//                     ROLE "inproc" or "local:PID", ARGS such as "I4 0",
//                     "BOOL false", "BSTR text" (tab, CR, LF, "\" escaped).
#pragma once

#include <windows.h>

#include <string>

extern const CLSID kFakeClsidOutlook;

// Where the control file, the log and the type library are looked for.
void SetFakeModule(HMODULE module);
std::wstring FakeDir();
void SetFakeRole(const std::wstring& role);

// Appends one line to the log.
void FakeLog(const std::wstring& object, const std::wstring& member, const std::wstring& args);

// A new Application with the control file's state, holding one reference.
IDispatch* CreateFakeApplication();

// Objects alive in this module (for DllCanUnloadNow).
LONG FakeObjectCount();

// An IClassFactory whose CreateInstance hands out make()'s object.
IClassFactory* CreateFakeFactory(IDispatch* (*make)());

// Registry entries as Outlook makes them: the class with its ProgID, and
// serverKey ("InprocServer32" or "LocalServer32") set to command. The type
// library is registered too.
HRESULT RegisterFakeServer(const wchar_t* serverKey, const std::wstring& command);
// Removes serverKey; the class goes when no server key is left.
HRESULT UnregisterFakeServer(const wchar_t* serverKey);

// The path of this module.
std::wstring ModulePath(HMODULE module);
