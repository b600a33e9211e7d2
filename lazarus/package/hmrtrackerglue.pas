{ SPDX-License-Identifier: MIT
  The HMR tracker in the Lazarus IDE: glue only. It loads the tracker library at run time from
  the place its installer wrote into hmrtrackerlibrary.inc (a missing library turns tracking
  off with a message; the IDE starts as always), reports
  the IDE's project, editor, designer and save events through the library's C interface
  (lazarus/hmr_tracker.h), ticks the tracker's 15-second timer from the IDE's event loop,
  and adds the tracker's entry to the View menu. }
unit HMRTrackerGlue;

{$mode objfpc}{$H+}

interface

procedure Register;

implementation

uses
  Classes, SysUtils, Controls, Forms, ExtCtrls, LCLType, DynLibs, fgl, LazFileUtils,
  LazIDEIntf, ProjectIntf, SrcEditorIntf, PropEdits, MenuIntf, IDECommands, IDEMsgIntf,
  IDEExternToolIntf, MacroIntf, SynEdit;

{$I hmrtrackerlibrary.inc}

const
  TrackerMenuCaption = 'Project Revedaz&l';
  TickMilliseconds = 15000;
  HMR_OK = 0;

type
  TStartCall = function(Host: PChar): LongInt; cdecl;
  TFolderCall = function(Folder: PChar): LongInt; cdecl;
  TPlainCall = function: LongInt; cdecl;
  TPathCall = function(Path: PChar): LongInt; cdecl;
  TFileOpenedCall = function(Path: PChar; Owners: PPChar; Count: LongInt): LongInt; cdecl;
  TRenamedCall = function(OldPath, NewPath: PChar): LongInt; cdecl;
  TErrorCall = function: PChar; cdecl;

  TStampMap = specialize TFPGMap<PtrUInt, Int64>;

  { THMRTrackerGlue }

  THMRTrackerGlue = class
  private
    FLibrary: TLibHandle;
    FStart: TStartCall;
    FLazarusDirectory: TFolderCall;
    FStop, FMenuChosen, FTimerTick: TPlainCall;
    FProjectOpened, FFileActivated, FSourceEdited, FFormEdited, FFileClosed,
      FProjectClosed: TPathCall;
    FFileOpened: TFileOpenedCall;
    FProjectRenamed: TRenamedCall;
    FLastError: TErrorCall;
    FRunning: Boolean;
    FOffReason: string;
    FTimer: TTimer;
    FProject: string;     // the project file tracked, '' when none
    FFiles: TStringList;  // the files reported open in that project
    FStamps: TStampMap;   // the last text change stamp seen, per source editor
    function LoadTracker: string;
    procedure Report(const Text: string);
    procedure Check(Status: LongInt);
    procedure ShowOffReason(Data: PtrInt);
    function FileReported(const FileName: string): Boolean;
    function EditorStamp(Editor: TSourceEditorInterface; out Stamp: Int64): Boolean;
    procedure StartProject(const ProjectFile: string);
    procedure CloseProject;
    procedure FollowProjectFile(MayStart: Boolean = False);
    procedure FormEdited;
    function ProjectOpened(Sender: TObject; AProject: TLazProject): TModalResult;
    function ProjectClosing(Sender: TObject; AProject: TLazProject): TModalResult;
    function SavingFile(Sender: TObject; aFile: TLazProjectFile;
      SaveStep: TSaveEditorFileStep; TargetFilename: string): TModalResult;
    procedure IDEClosing(Sender: TObject);
    procedure EditorStatus(Sender: TObject);
    procedure EditorActivated(Sender: TObject);
    procedure EditorDestroyed(Sender: TObject);
    procedure DesignerModified(Sender: TObject);
    procedure DesignerMouseUp(Sender: TObject; Button: TMouseButton; Shift: TShiftState;
      X, Y: Integer);
    procedure PersistentAdded(APersistent: TPersistent; Select: Boolean);
    procedure TimerTick(Sender: TObject);
    procedure MenuChosen(Sender: TObject);
  public
    constructor Create;
    destructor Destroy; override;
    procedure Hook;
    procedure StopTracker;
  end;

var
  Glue: THMRTrackerGlue = nil;

{ Loading the library }

function THMRTrackerGlue.LoadTracker: string;

  function Entry(const Name: string): Pointer;
  begin
    Result := GetProcedureAddress(FLibrary, Name);
    if Result = nil then
      raise Exception.Create(TrackerLibraryPath + ' has no ' + Name);
  end;

var
  LazarusDir: string;
begin
  // One place, written by the installer that built this package: no search, no environment.
  FLibrary := NilHandle;
  if TrackerLibraryPath = '' then
    Exit('this copy of the package was built without its tracker library: install HMR with '
      + 'hmrsetup-lazarus');
  if not FileExists(TrackerLibraryPath) then
    Exit('the tracker library ' + TrackerLibraryPath + ' was not found (reinstall HMR with '
      + 'hmrsetup-lazarus, or take the package out with hmrsetup-lazarus --uninstall)');
  FLibrary := LoadLibrary(TrackerLibraryPath);
  if FLibrary = NilHandle then
    Exit('the tracker library ' + TrackerLibraryPath + ' could not be loaded: '
      + GetLoadErrorStr);
  try
    Pointer(FStart) := Entry('hmr_tracker_start');
    Pointer(FLazarusDirectory) := Entry('hmr_lazarus_directory');
    Pointer(FStop) := Entry('hmr_tracker_stop');
    Pointer(FProjectOpened) := Entry('hmr_project_opened');
    Pointer(FFileOpened) := Entry('hmr_file_opened');
    Pointer(FFileActivated) := Entry('hmr_file_activated');
    Pointer(FSourceEdited) := Entry('hmr_source_edited');
    Pointer(FFormEdited) := Entry('hmr_form_edited');
    Pointer(FProjectRenamed) := Entry('hmr_project_renamed');
    Pointer(FFileClosed) := Entry('hmr_file_closed');
    Pointer(FProjectClosed) := Entry('hmr_project_closed');
    Pointer(FMenuChosen) := Entry('hmr_menu_chosen');
    Pointer(FTimerTick) := Entry('hmr_timer_tick');
    Pointer(FLastError) := Entry('hmr_last_error');
  except
    on E: Exception do
    begin
      UnloadLibrary(FLibrary);
      FLibrary := NilHandle;
      Exit(E.Message);
    end;
  end;
  // The Lazarus directory, not the folder of this (perhaps rebuilt) IDE program, holds the
  // installation's own projects.
  LazarusDir := '$(LazarusDir)';
  if Assigned(IDEMacros) and IDEMacros.SubstituteMacros(LazarusDir)
    and FilenameIsAbsolute(LazarusDir) then
    FLazarusDirectory(PChar(ChompPathDelim(LazarusDir)));
  if FStart('Lazarus') <> HMR_OK then
    Exit(string(FLastError()));
  Result := '';
end;

constructor THMRTrackerGlue.Create;
begin
  FFiles := TStringList.Create;
  FStamps := TStampMap.Create;
  FOffReason := LoadTracker;
  FRunning := FOffReason = '';
  FTimer := TTimer.Create(nil);
  FTimer.Interval := TickMilliseconds;
  FTimer.OnTimer := @TimerTick;
  FTimer.Enabled := FRunning;
  if not FRunning then
    // The messages window is there once the IDE runs its event loop.
    Application.QueueAsyncCall(@ShowOffReason, 0);
end;

destructor THMRTrackerGlue.Destroy;
begin
  StopTracker;
  if Assigned(Application) then
    Application.RemoveAsyncCalls(Self);
  FTimer.Free;
  FStamps.Free;
  FFiles.Free;
  if FLibrary <> NilHandle then
    UnloadLibrary(FLibrary);
  inherited Destroy;
end;

procedure THMRTrackerGlue.StopTracker;
begin
  if not FRunning then
    Exit;
  CloseProject;
  FTimer.Enabled := False;
  FRunning := False;
  Check(FStop());
end;

{ Messages: the IDE's Messages window and standard error; never a modal box }

procedure THMRTrackerGlue.Report(const Text: string);
begin
  WriteLn(StdErr, 'HMR: ', Text);
  Flush(StdErr);
  if Assigned(IDEMessagesWindow) then
  begin
    IDEMessagesWindow.AddCustomMessage(mluWarning, 'HMR: ' + Text);
    // The Messages window may be hidden: show it, without taking the keyboard.
    if Assigned(LazarusIDE) then
      LazarusIDE.DoShowMessagesView(False);
  end;
end;

procedure THMRTrackerGlue.Check(Status: LongInt);
begin
  if Status <> HMR_OK then
    Report(string(FLastError()));
end;

procedure THMRTrackerGlue.ShowOffReason(Data: PtrInt);
begin
  Report('time tracking is off: ' + FOffReason);
end;

{ Projects and files }

procedure THMRTrackerGlue.StartProject(const ProjectFile: string);
begin
  if ProjectFile = FProject then
    Exit;  // the IDE announces a project more than once while it opens
  CloseProject;
  if not FRunning or not FilenameIsAbsolute(ProjectFile) then
    Exit;
  FProject := ProjectFile;
  Check(FProjectOpened(PChar(FProject)));
end;

procedure THMRTrackerGlue.CloseProject;
var
  FileName: string;
begin
  if not FRunning or (FProject = '') then
    Exit;
  FollowProjectFile;
  for FileName in FFiles do
    Check(FFileClosed(PChar(FileName)));
  FFiles.Clear;
  Check(FProjectClosed(PChar(FProject)));
  FProject := '';
end;

// "Save Project As" gives the project a new file: the tracker follows it as a rename. A new
// project saved for the first time starts being tracked when `MayStart` (at a save only:
// while the IDE closes a project, it still shows it as active).
procedure THMRTrackerGlue.FollowProjectFile(MayStart: Boolean);
var
  Current: string;
begin
  if not FRunning or (LazarusIDE = nil) or (LazarusIDE.ActiveProject = nil) then
    Exit;
  Current := LazarusIDE.ActiveProject.ProjectInfoFile;
  if (Current = '') or not FilenameIsAbsolute(Current) or (Current = FProject) then
    Exit;
  if FProject = '' then
  begin
    if MayStart then
      StartProject(Current);
  end
  else
  begin
    Check(FProjectRenamed(PChar(FProject), PChar(Current)));
    FProject := Current;
  end;
end;

// The tracker hears of a file the first time the user works in it, owned by the project.
function THMRTrackerGlue.FileReported(const FileName: string): Boolean;
var
  Owners: array[0..0] of PChar;
begin
  Result := False;
  if not FRunning or (FProject = '') or not FilenameIsAbsolute(FileName) then
    Exit;
  if FFiles.IndexOf(FileName) >= 0 then
    Exit(True);
  Owners[0] := PChar(FProject);
  if FFileOpened(PChar(FileName), @Owners[0], 1) <> HMR_OK then
  begin
    Report(string(FLastError()));
    Exit;
  end;
  FFiles.Add(FileName);
  Result := True;
end;

function THMRTrackerGlue.ProjectOpened(Sender: TObject; AProject: TLazProject): TModalResult;
begin
  Result := mrOk;
  StartProject(AProject.ProjectInfoFile);
end;

function THMRTrackerGlue.ProjectClosing(Sender: TObject; AProject: TLazProject): TModalResult;
begin
  Result := mrOk;
  CloseProject;
  FStamps.Clear;
end;

function THMRTrackerGlue.SavingFile(Sender: TObject; aFile: TLazProjectFile;
  SaveStep: TSaveEditorFileStep; TargetFilename: string): TModalResult;
begin
  Result := mrOk;
  FollowProjectFile(True);
end;

procedure THMRTrackerGlue.IDEClosing(Sender: TObject);
begin
  StopTracker;
end;

{ The source editor: a new change stamp of a modified text is an edit; caret moves, scrolling
  and loading a file (which leaves the text unmodified) are not. }

function THMRTrackerGlue.EditorStamp(Editor: TSourceEditorInterface; out Stamp: Int64): Boolean;
begin
  Result := Editor.EditorControl is TCustomSynEdit;
  if Result then
    Stamp := TCustomSynEdit(Editor.EditorControl).ChangeStamp
  else
    Stamp := 0;
end;

procedure THMRTrackerGlue.EditorStatus(Sender: TObject);
var
  Editor: TSourceEditorInterface;
  Stamp: Int64;
  Index: Integer;
  Changed: Boolean;
begin
  if not FRunning or not (Sender is TSourceEditorInterface) then
    Exit;
  Editor := TSourceEditorInterface(Sender);
  if not EditorStamp(Editor, Stamp) then
    Exit;
  Index := FStamps.IndexOf(PtrUInt(Editor));
  Changed := (Index >= 0) and (FStamps.Data[Index] <> Stamp);
  FStamps.KeyData[PtrUInt(Editor)] := Stamp;
  FollowProjectFile;
  if Changed and Editor.Modified and FileReported(Editor.FileName) then
    Check(FSourceEdited(PChar(Editor.FileName)));
end;

procedure THMRTrackerGlue.EditorActivated(Sender: TObject);
var
  Editor: TSourceEditorInterface;
  Stamp: Int64;
begin
  if not FRunning or not (Sender is TSourceEditorInterface) then
    Exit;
  Editor := TSourceEditorInterface(Sender);
  if EditorStamp(Editor, Stamp) then
    FStamps.KeyData[PtrUInt(Editor)] := Stamp;
  if FileReported(Editor.FileName) then
    Check(FFileActivated(PChar(Editor.FileName)));
end;

procedure THMRTrackerGlue.EditorDestroyed(Sender: TObject);
var
  Index: Integer;
  FileName: string;
begin
  if not FRunning or not (Sender is TSourceEditorInterface) then
    Exit;
  Index := FStamps.IndexOf(PtrUInt(Sender));
  if Index >= 0 then
    FStamps.Delete(Index);
  FileName := TSourceEditorInterface(Sender).FileName;
  Index := FFiles.IndexOf(FileName);
  if Index < 0 then
    Exit;
  FFiles.Delete(Index);
  Check(FFileClosed(PChar(FileName)));
end;

{ The form designer: Object Inspector changes, dropped components, and mouse work on the
  form (dragging a control changes no stamp; its mouse-up is the sign). }

procedure THMRTrackerGlue.FormEdited;
var
  Root: TPersistent;
  UnitFile: TLazProjectFile;
begin
  if not FRunning or (GlobalDesignHook = nil) or (LazarusIDE = nil) then
    Exit;
  Root := GlobalDesignHook.LookupRoot;
  if not (Root is TComponent) then
    Exit;
  UnitFile := LazarusIDE.GetProjectFileWithRootComponent(TComponent(Root));
  if (UnitFile <> nil) and FileReported(UnitFile.Filename) then
    Check(FFormEdited(PChar(UnitFile.Filename)));
end;

procedure THMRTrackerGlue.DesignerModified(Sender: TObject);
begin
  FormEdited;
end;

procedure THMRTrackerGlue.DesignerMouseUp(Sender: TObject; Button: TMouseButton;
  Shift: TShiftState; X, Y: Integer);
begin
  FormEdited;
end;

procedure THMRTrackerGlue.PersistentAdded(APersistent: TPersistent; Select: Boolean);
begin
  FormEdited;
end;

{ The timer and the menu entry }

procedure THMRTrackerGlue.TimerTick(Sender: TObject);
begin
  if not FRunning then
    Exit;
  FollowProjectFile;
  Check(FTimerTick());
end;

procedure THMRTrackerGlue.MenuChosen(Sender: TObject);
begin
  if not FRunning then
  begin
    ShowOffReason(0);
    Exit;
  end;
  FollowProjectFile;
  Check(FMenuChosen());
end;

procedure THMRTrackerGlue.Hook;
var
  Command: TIDECommand;
begin
  Command := RegisterIDECommand(IDECommandList.FindCategoryByName(CommandCategoryViewName),
    'HMRShowTracker', 'Show the HMR time tracker',
    IDEShortCut(VK_T, [ssCtrl, ssAlt, ssShift]), @MenuChosen);
  RegisterIDEMenuCommand(itmViewMainWindows, 'HMRShowTrackerItem', TrackerMenuCaption,
    nil, nil, Command);
  if not FRunning then
    Exit;
  LazarusIDE.AddHandlerOnProjectOpened(@ProjectOpened);
  LazarusIDE.AddHandlerOnProjectClose(@ProjectClosing);
  LazarusIDE.AddHandlerOnSaveEditorFile(@SavingFile);
  LazarusIDE.AddHandlerOnIDEClose(@IDEClosing);
  SourceEditorManagerIntf.RegisterChangeEvent(semEditorStatus, @EditorStatus);
  SourceEditorManagerIntf.RegisterChangeEvent(semEditorActivate, @EditorActivated);
  SourceEditorManagerIntf.RegisterChangeEvent(semEditorDestroy, @EditorDestroyed);
  GlobalDesignHook.AddHandlerModified(@DesignerModified);
  GlobalDesignHook.AddHandlerDesignerMouseUp(@DesignerMouseUp);
  GlobalDesignHook.AddHandlerPersistentAdded(@PersistentAdded);
end;

procedure Register;
begin
  if Glue <> nil then
    Exit;
  Glue := THMRTrackerGlue.Create;
  Glue.Hook;
end;

finalization
  FreeAndNil(Glue);
end.
