unit Summary;

interface

function MonthlySummary: string;

implementation

function MonthlySummary: string;
begin
  Result := 'No invoices yet';
end;

end.
