// Stand-in for the closed skinning library the program was designed on,
// which it imported by ordinal only:
//   ordinal 2 -> SkinApply: apply a skin description file to every window
//                of the program, those open now and those opened later;
//   ordinal 3 -> SkinRelease: release the skin.
//
// A skin description file is a small XML file of our own (colours and a
// font face):
//
//   <Skin name="Mmo">
//     <Dialog   background="#2C323B" text="#E8EBEF"/>  windows and panels
//     <Button   face="#C6CED8" text="#1D232B"/>        push buttons
//     <List     background="#FFFFFF" text="#1D232B"/>  list controls
//     <GroupBox text="#F2B35B"/>     optional: group box captions (default:
//                                    Dialog text)
//     <Label    text="#E8EBEF"/>     optional: static texts, check boxes,
//                                    radio buttons (default: Dialog text)
//     <Tree     background="#FFFFFF" text="#1D232B"/>  optional (default: List)
//     <Font     face="Noto Sans, Cantarell"/>  optional: the first installed
//                                    face; each control keeps its own size
//   </Skin>
//
// Colours are #RRGGBB. Each element appears at most once and carries exactly
// its attributes; anything else makes the whole file invalid.
//
// Only windows of these classes are skinned: top-level windows and panels,
// buttons, list and tree controls, static boxes, static texts, check boxes
// and radio buttons. Every other window (text fields, choices, windows that
// draw themselves) keeps its own look, as do the GTK file, folder and message
// dialogs. The face applies to the controls only, never to windows and
// panels, and only where it sets text no larger than the control's own font.
//
// Main thread only, with the wx application running.
#pragma once

// Reads the skin description file and applies it; true when it was read and
// applied. A missing or invalid file gives false and changes nothing: no
// message, and the current look (plain or an earlier skin) stays. Applying a
// skin while another is applied replaces it.
bool SkinApply(const char* pszPath);

// Gives every skinned window its plain look back and stops skinning new
// windows. Does nothing when no skin is applied. Call it before the wx
// application ends.
void SkinRelease();
