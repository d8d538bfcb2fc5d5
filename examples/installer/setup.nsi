; Example: the installer of Vexil Junquell for Kestrix!, written with NSIS 3,
; and how it uses setupext.dll. It installs the plug-in into the product
; folder, writes the product key, then asks setupext and lets it act:
;   IsToolBar, then DoToolBar    the mark-spam buttons in Kestrix's toolbar
;   DoRegPlg "vxzsp.dll"         the plug-in switches itself on
;   IsAntiSpamOn, DoAntiSpam     the anti-spam filter, switched on if off
;   Check                        only with /CHECK: shows "Hello"
;
; Build:
;   makensis /DSETUPEXT_DIR=<folder> /DPRODUCT_FILES=<folder> /DOUTFILE=<file> setup.nsi
; Paths are full ones or relative to this folder. SETUPEXT_DIR holds
; setupext.dll and x86-unicode\setupext.dll, as the build leaves them in
; build\bin. PRODUCT_FILES holds the product's libraries:
; vxzsp.dll and whatever it needs. /DANSI makes an installer of 8-bit text
; (setupext.dll); without it the installer is NSIS 3's default, Unicode
; (x86-unicode\setupext.dll), which works in folders of any language.
; /DAMD64 makes the 64-bit installer for the 64-bit edition of Kestrix!:
; SETUPEXT_DIR is then build-x64\bin, which holds
; amd64-unicode\setupext.dll, and PRODUCT_FILES the 64-bit plug-in.
;
; Run: vxzsp-setup.exe [/S] [/CHECK] [/D=<product folder>]

!ifdef AMD64
  ; A 64-bit installer is a Unicode one, and writes the registry's 64-bit
  ; view, where the 64-bit setupext and updater read the product key.
  Target amd64-unicode
!else ifdef ANSI
  Unicode false
!else
  Unicode true
!endif

!include "LogicLib.nsh"
!include "FileFunc.nsh"

!ifndef SETUPEXT_DIR
  !define SETUPEXT_DIR "."
!endif
!ifndef PRODUCT_FILES
  !define PRODUCT_FILES "product"
!endif
!ifndef OUTFILE
  !define OUTFILE "vxzsp-setup.exe"
!endif
!addplugindir /x86-ansi "${SETUPEXT_DIR}"
!addplugindir /x86-unicode "${SETUPEXT_DIR}\x86-unicode"
!addplugindir /amd64-unicode "${SETUPEXT_DIR}\amd64-unicode"

; setupext finds the product folder in this key's default value; the
; updater reads the installed version from "Version".
!define PRODUCT_KEY "SOFTWARE\Vexil ZSP"
!define PRODUCT_VERSION "2.5.0.301"
!define PLUGIN_FILE "vxzsp.dll"

Name "Vexil Junquell for Kestrix!"
OutFile "${OUTFILE}"
!ifdef AMD64
  InstallDir "$PROGRAMFILES64\Vexil ZSP"
!else
  InstallDir "$PROGRAMFILES\Vexil ZSP"
!endif
InstallDirRegKey HKLM "${PRODUCT_KEY}" ""
RequestExecutionLevel admin
ShowInstDetails show

Page directory
Page instfiles

Var Answer
Var Marker

; Asks setupext a question: $Answer becomes "1", "0", or "" when setupext has
; no answer. It then pushes nothing, so a marker pushed first comes back.
!macro AskSetupExt QUESTION
  Push "?"
  setupext::${QUESTION}
  Pop $Answer
  ${If} $Answer == "?"
    StrCpy $Answer ""
  ${Else}
    Pop $Marker
  ${EndIf}
!macroend

Function .onInit
  ; /CHECK: setupext::Check shows "Hello" and waits for OK, even in a silent
  ; run; it takes nothing from the stack and leaves nothing on it.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/CHECK" $1
  ${IfNot} ${Errors}
    setupext::Check
  ${EndIf}
FunctionEnd

Section "Vexil Junquell"
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${PRODUCT_FILES}\*.dll"
  WriteRegStr HKLM "${PRODUCT_KEY}" "" "$INSTDIR"
  WriteRegStr HKLM "${PRODUCT_KEY}" "Version" "${PRODUCT_VERSION}"

  ; The toolbar: setupext appends $TEMP\script.txt to Kestrix's toolbar file
  ; unless that already holds the product's section.
  !insertmacro AskSetupExt IsToolBar
  ${If} $Answer == "0"
    File "/oname=$TEMP\script.txt" "script.txt"
    setupext::DoToolBar
    Delete "$TEMP\script.txt"
    DetailPrint "The mark-spam buttons were added to the toolbar of Kestrix!."
  ${ElseIf} $Answer == "1"
    DetailPrint "The toolbar of Kestrix! has the mark-spam buttons already."
  ${Else}
    DetailPrint "Kestrix! was not found for this user: its toolbar is left as it is."
  ${EndIf}

  ; setupext pops the plug-in's file name, loads it from the product folder
  ; and calls its TurnOnPlugin.
  setupext::DoRegPlg "${PLUGIN_FILE}"

  !insertmacro AskSetupExt IsAntiSpamOn
  ${If} $Answer == "0"
    MessageBox MB_YESNO|MB_ICONQUESTION "The anti-spam filter is off. Switch it on now?" \
      /SD IDYES IDNO antiSpamDone
    setupext::DoAntiSpam "${PLUGIN_FILE}"
    DetailPrint "The anti-spam filter was switched on."
    antiSpamDone:
  ${EndIf}
SectionEnd
