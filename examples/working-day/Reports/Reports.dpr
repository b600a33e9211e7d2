program Reports;

uses
  Summary in 'Summary.pas';

begin
  WriteLn(MonthlySummary);
end.
