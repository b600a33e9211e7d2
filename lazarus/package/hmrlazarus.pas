{ This file was automatically created by Lazarus. Do not edit!
  This source is only used to compile and install the package.
 }

unit hmrlazarus;

{$warn 5023 off : no warning about unused units}
interface

uses
  HMRTrackerGlue, LazarusPackageIntf;

implementation

procedure Register;
begin
  RegisterUnit('HMRTrackerGlue', @HMRTrackerGlue.Register);
end;

initialization
  RegisterPackage('hmrlazarus', @Register);
end.
